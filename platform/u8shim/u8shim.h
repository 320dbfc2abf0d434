// Environment variables as UTF-8 text.
#pragma once

extern "C" {
// The value of the environment variable `name`, or null when it is not set.
// The text stays valid until the environment changes.
const char* getenv_utf8(const char* name);
}
