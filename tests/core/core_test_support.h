// Helpers of the detection library's tests: temporary folders and files, the
// test module (loaded on demand through a configuration overlay and
// IMR_PLUGIN_PATH), captured logs, IMRT files and readable summaries of
// proxies, and a core subclass that reaches the ticket walk.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/imr_core.h"
#include "imrt_format.h"

namespace coretest {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return iPath; }
  std::string operator/(const std::string& name) const { return iPath + "/" + name; }

 private:
  std::string iPath;
};

void WriteFile(const std::string& path, const std::string& contents);
std::string ReadFile(const std::string& path);
void SetModified(const std::string& path, std::int64_t seconds);
std::size_t Count(const std::string& text, const std::string& needle);

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::optional<std::string>& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string iName;
  std::optional<std::string> iOld;
};

// Sends the log to a file for the scope.
class LogCapture {
 public:
  LogCapture();
  std::string Text() const { return ReadFile(iDir / "log.txt"); }

 private:
  TempDir iDir;
  ScopedEnv iEnv;
};

// The exception of class E that `body` raises; a failure when it raises
// nothing or something else.
template <class E, class Body>
E Raised(Body&& body) {
  try {
    body();
    ADD_FAILURE() << "no " << E::ZQ_ClassName() << " was raised";
  } catch (const E& error) {
    return error;
  } catch (const ZQ_EException& other) {
    ADD_FAILURE() << "expected " << E::ZQ_ClassName() << ", got " << other.ClassName() << ": "
                  << other.Text();
  } catch (const std::exception& other) {
    ADD_FAILURE() << "expected " << E::ZQ_ClassName() << ", got " << other.what();
  }
  return E();
}

// The counters of the test module (loaded on first use).
imrt::Stats& Stats();

// A plugin list of (name, key) pairs; names without a key get "".
ZQ_TList Plugins(std::initializer_list<const char*> names);
ZQ_TList Pairs(std::initializer_list<std::pair<const char*, const char*>> pairs);

// Image lines of IMRT files.
imrt::Image Img(const std::string& status, int type = 3, unsigned columns = 0, unsigned rows = 0);
imrt::Image Embedded(const std::string& payload, int type = 3);
imrt::Image WithRefs(imrt::Image image, std::vector<std::string> refs);
// Writes an IMRT file of `images` at `path`; returns its URL.
ZQ_TURL WriteImrt(const std::string& path, const std::vector<imrt::Image>& images);

// "format:type:index" per ticket ("WxH" added when set, "@n" for a related
// index), "*" before the selected one, blank separated.
std::string Summary(const PXC_TImageProxy& proxy);
std::string TicketSummary(const PXC_TImageTicket& ticket);
// The ticket's extended-info number `key`, or -1.
long Extended(const PXC_TImageTicket& ticket, const char* key);

// What a run at level 4 over the IMRT data `bytes` (named `url`) must give,
// in the form of Summary: statuses 0, 2, 5, 6 and 7 and the end of the
// images (4), with IMRT_Plain at the head of the list and all image types.
std::string ExpectedSummary(const std::string& bytes);

// A core whose ticket walk the tests call directly.
class TestCore : public IMR_TCore {
 public:
  using IMR_TCore::IMR_TCore;
  // A ticket of `url` (with its facts) that walks `plugins`.
  static PXC_TImageTicket Ticket(const ZQ_TURL& url, const ZQ_TList& plugins);
  static ZQ_TList& TicketPlugins(PXC_TImageTicket& ticket);
  static void Clear(PXC_TImageTicket& ticket) { Wipe(ticket); }
  // The walk for image `index` over the whole file.
  static bool Fill(PXC_TImageTicket& ticket, PXC_TFillLevel level, std::uint32_t index,
                   IMR_IContextPlugin*& context, bool& cacheable,
                   IMR_TImageTypes types = IMR_IT_ALL);
  using IMR_TCore::FillUpImageTicket;
};

// Saves and restores the core's cache switches and default list.
class CacheSwitches {
 public:
  CacheSwitches(bool read, bool write);
  ~CacheSwitches();

 private:
  bool iRead;
  bool iWrite;
};

}  // namespace coretest
