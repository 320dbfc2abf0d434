// Digests of a file's bytes that tell a rewrite from the file it replaced
// when its size and times were kept: the first and last bytes hold the
// headers and directories that a different image changes.
#pragma once

#include <cstdint>
#include <optional>

#include "pxcbase/pxc_buffer.h"

// Bytes read from each end of a window.
constexpr std::size_t kPXC_DigestSpan = 4096;

// A 64-bit digest of the window's length and its first and last
// kPXC_DigestSpan bytes (all of a smaller window).  A read error raises
// PXC_EBufferCannotReadFile.
std::uint64_t PXC_WindowDigest(const PXC_IBuffer& window);
// The digest of the file or embedded range `url` names as it is now; none
// when it cannot be read.
std::optional<std::uint64_t> PXC_FileDigest(const ZQ_TURL& url);
