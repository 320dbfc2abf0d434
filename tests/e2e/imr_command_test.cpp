// The imr command as a person uses it: output order, JSON form, exit status,
// directories, path lists, the format list, and the magic tables.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status = -1;
  std::vector<std::string> lines;
};

// Runs `imr ARGUMENTS` through the shell; its standard output (or, with
// `errors`, its standard error) comes back as lines.
Outcome Imr(const std::string& arguments, const std::string& input = "", bool errors = false) {
  std::string command = "IMR_PLUGIN_PATH=" IMR_MODULE_DIR " " IMR_BINARY " " + arguments +
                        (errors ? " 2>&1 >/dev/null" : " 2>/dev/null");
  if (!input.empty()) command = "printf '%b' '" + input + "' | " + command;
  Outcome run;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  std::string text;
  char chunk[4096];
  for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) text.append(chunk, got);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) run.lines.push_back(line);
  return run;
}

const std::string kCorpus = IMR_CORPUS_DIR;

class ImrCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    iDir = fs::temp_directory_path() / ("imr_command_" + std::to_string(::getpid()));
    fs::create_directories(iDir / "sub");
    for (const char* name : {"PNG.png", "GIF.gif", "BMP.bmp", "Text1.txt"}) {
      fs::copy_file(kCorpus + "/" + name, iDir / name);
    }
    fs::copy_file(kCorpus + "/PDF.pdf", iDir / "sub" / "PDF.pdf");
  }
  void TearDown() override { fs::remove_all(iDir); }
  std::string Path(const std::string& name) const { return (iDir / name).string(); }

  fs::path iDir;
};

TEST_F(ImrCommand, LinesFollowTheInputOrderWhateverTheThreads) {
  std::string arguments = "identify --no-cache -j 4";
  std::vector<std::string> expected;
  for (int round = 0; round < 25; ++round) {
    for (const char* name : {"PNG.png", "GIF.gif", "BMP.bmp"}) {
      arguments += " " + Path(name);
      expected.push_back(Path(name) + ": ");
    }
  }
  const Outcome run = Imr(arguments);
  EXPECT_EQ(run.status, 0);
  ASSERT_EQ(run.lines.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(run.lines[i].rfind(expected[i], 0), 0u);
  EXPECT_NE(run.lines[0].find("PNG (image/png), main image, 16 x 16 px"), std::string::npos) << run.lines[0];
}

TEST_F(ImrCommand, ExitStatusTellsWhetherEverythingWasRecognised) {
  EXPECT_EQ(Imr("identify --no-cache " + Path("PNG.png")).status, 0);
  const Outcome mixed = Imr("identify --no-cache " + Path("PNG.png") + " " + Path("Text1.txt") + " " +
                        Path("missing.jpg") + " " + iDir.string());
  EXPECT_EQ(mixed.status, 1);
  ASSERT_EQ(mixed.lines.size(), 4u);
  EXPECT_EQ(mixed.lines[1], Path("Text1.txt") + ": not recognized");
  EXPECT_NE(mixed.lines[2].find("error: Cannot open " + Path("missing.jpg")), std::string::npos);
  EXPECT_NE(mixed.lines[3].find("is a directory"), std::string::npos);
  EXPECT_EQ(Imr("identify").status, 2);
  EXPECT_EQ(Imr("identify --level 9 " + Path("PNG.png")).status, 2);
  EXPECT_EQ(Imr("no-such-command").status, 2);
}

TEST_F(ImrCommand, JsonHasEveryKeyAndDirectoriesAreWalked) {
  const Outcome run = Imr("identify --no-cache --json -r " + iDir.string());
  ASSERT_EQ(run.lines.size(), 5u);  // four files and one in sub/
  for (const std::string& line : run.lines) {
    const nlohmann::json object = nlohmann::json::parse(line);
    for (const char* key : {"path", "recognized", "selected", "error", "images"}) {
      EXPECT_TRUE(object.contains(key)) << key << " in " << line;
    }
    if (!object["recognized"]) continue;
    const nlohmann::json& image = object["images"][0];
    for (const char* key : {"file_format", "file_format_version", "image_type", "image_subtype",
                            "fill_level", "image_position", "columns", "rows", "h_resolution",
                            "v_resolution", "h_real_size", "v_real_size", "units", "rotation",
                            "channel_encoding", "alpha_plane", "inks", "pages", "margins",
                            "creator_id", "image_processor", "related_index", "file",
                            "extended_info", "external_refs"}) {
      EXPECT_TRUE(image.contains(key)) << key << " in " << line;
    }
  }
  EXPECT_NE(run.lines.back().find("\"file_format\":\"PDF\""), std::string::npos) << run.lines.back();
}

// A file whose signature names a format its reader cannot read: the reader
// says why, --explain shows every answer, and the description keeps it.
TEST_F(ImrCommand, ExplainShowsWhatEachPluginAnswered) {
  std::ifstream png(Path("PNG.png"), std::ios::binary);
  std::string bytes(20, '\0');
  png.read(bytes.data(), 20);
  std::ofstream(Path("cut.png"), std::ios::binary) << bytes;
  const Outcome run = Imr("identify --explain " + Path("cut.png"));
  const std::vector<std::string> expected = {
      Path("cut.png") + ": PNG (image/png), main image",
      "  image 0: IMR_TMagic named the plugins to ask",
      "  image 0: IMR_TMagic declined",
      "  image 0: PNG declined: the file ends inside the IHDR chunk",
      "  image 0: GENERIC described",
      "  image 1: GENERIC declined"};
  EXPECT_EQ(run.lines, expected);
  const Outcome json = Imr("identify --explain --json " + Path("cut.png"));
  ASSERT_EQ(json.lines.size(), 1u);
  const nlohmann::json object = nlohmann::json::parse(json.lines[0]);
  EXPECT_EQ(object["explain"].size(), 5u);
  EXPECT_EQ(object["explain"][2]["reason"], "the file ends inside the IHDR chunk");
  EXPECT_EQ(object["images"][0]["extended_info"]["Refusal"], "PNG: the file ends inside the IHDR chunk");
}

// Every bad value is refused with a message naming the option and the value.
TEST_F(ImrCommand, BadCommandLinesNameWhatIsWrong) {
  ::mkfifo(Path("fifo").c_str(), 0600);
  const std::pair<std::string, std::string> cases[] = {
      {"--types 0", "--types 0: "},           {"--types 0x80", "--types 0x80: "},
      {"--types -1", "--types -1: "},         {"--types garbage", "--types garbage: not a number"},
      {"--level 9", "--level"},               {"--files-from " + iDir.string(), "is a directory"},
      {"--files-from " + Path("missing"), "--files-from " + Path("missing") + ": No such file"},
      {"--files-from " + Path("fifo"), "a named pipe that nothing writes to"},
      {"--max-images 0", "--max-images"},
  };
  for (const auto& [arguments, message] : cases) {
    SCOPED_TRACE(arguments);
    const Outcome run = Imr("identify --no-cache " + arguments + " " + Path("PNG.png"), "", true);
    EXPECT_EQ(run.status, 2);
    ASSERT_FALSE(run.lines.empty());
    EXPECT_NE(run.lines[0].find(message), std::string::npos) << run.lines[0];
  }
  std::ofstream(Path("empty.list")).close();
  const Outcome empty = Imr("identify --files-from " + Path("empty.list"), "", true);
  EXPECT_EQ(empty.status, 2);
  EXPECT_EQ(empty.lines, std::vector<std::string>{"imr: --files-from " + Path("empty.list") + ": holds no paths"});
  // After "--" every argument is a path.
  fs::copy_file(Path("PNG.png"), Path("-dash.png"));
  const Outcome dashes = Imr("identify --no-cache " + Path("GIF.gif") + " -- -dash.png", "");
  EXPECT_EQ(dashes.lines.size(), 2u);
}

// Names that would break a line or a JSON string are written so that they
// can be read back.
TEST_F(ImrCommand, AwkwardNamesAreEscaped) {
  const std::string awkward = Path(std::string("a\nb\xff\\c.png"));
  fs::copy_file(Path("PNG.png"), awkward);
  const Outcome text = Imr("identify --no-cache " + std::string("'") + awkward + "'");
  ASSERT_EQ(text.lines.size(), 1u);
  EXPECT_EQ(text.lines[0].rfind(Path("a\\012b\\377\\\\c.png: PNG"), 0), 0u) << text.lines[0];
  const Outcome json = Imr("identify --no-cache --json " + std::string("'") + awkward + "'");
  ASSERT_EQ(json.lines.size(), 1u);
  const nlohmann::json object = nlohmann::json::parse(json.lines[0]);
  std::string bytes;
  const std::string hex = object["path_hex"];
  for (std::size_t i = 0; i < hex.size(); i += 2) bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  EXPECT_EQ(bytes, awkward);
  EXPECT_NE(object["images"][0]["file"].get<std::string>().find("%FF"), std::string::npos);
}

TEST_F(ImrCommand, PathsCanComeFromStandardInput) {
  const Outcome run = Imr("identify --no-cache --level 2 --files-from -",
                      Path("GIF.gif") + "\\n" + Path("BMP.bmp") + "\\n");
  ASSERT_EQ(run.lines.size(), 2u);
  EXPECT_EQ(run.lines[0], Path("GIF.gif") + ": GIF 89a (image/gif), main image");
  EXPECT_EQ(run.lines[1].rfind(Path("BMP.bmp") + ": BMP", 0), 0u);
}

TEST_F(ImrCommand, MagicCheckReportsEveryInvalidTextWithItsLine) {
  std::ofstream(Path("table.magic")) << "# a table\nentry GOOD\n[0]==0x49\nFileFormat=G\n\n"
                                        "entry BAD\n[0] ==0x49\n?*4l0=x\nFileFormat=\n";
  const Outcome run = Imr("magic check " + Path("table.magic"));
  EXPECT_EQ(run.status, 1);
  ASSERT_EQ(run.lines.size(), 4u);
  EXPECT_EQ(run.lines[0], Path("table.magic") + ":7: Invalid magic entry [0] ==0x49");
  EXPECT_EQ(run.lines[1], Path("table.magic") + ":8: Invalid magic entry ?*4l0=x");
  EXPECT_EQ(run.lines[2], Path("table.magic") + ":9: Invalid magic entry FileFormat=");
  EXPECT_EQ(run.lines[3], Path("table.magic") + ": 2 entries, 2 alternatives, 5 entry texts, 3 errors");
  EXPECT_EQ(Imr("magic check " + Path("absent.magic")).status, 2);
}

TEST_F(ImrCommand, VersionAnswers) {
  const Outcome version = Imr("--version");
  EXPECT_EQ(version.status, 0);
  ASSERT_FALSE(version.lines.empty());
  EXPECT_EQ(version.lines[0], "imr 2.307");
}

// One line per format, the same formats as data, and the magic entries'
// byte tests only where asked for, in characters that print.
TEST_F(ImrCommand, FormatsListOneLinePerFormat) {
  const Outcome formats = Imr("formats");
  const Outcome json = Imr("formats --json");
  EXPECT_EQ(formats.status, 0);
  std::string text;
  for (const std::string& line : json.lines) text += line;
  const nlohmann::json list = nlohmann::json::parse(text);
  ASSERT_EQ(formats.lines.size(), list.size());
  for (std::size_t i = 0; i < list.size(); ++i) {
    const std::string& line = formats.lines[i];
    EXPECT_EQ(line.rfind(list[i]["name"].get<std::string>() + " ", 0), 0u) << line;
    EXPECT_NE(line.find(" " + list[i]["mime"].get<std::string>() + " "), std::string::npos) << line;
  }
  const auto png = std::find_if(formats.lines.begin(), formats.lines.end(),
                                [](const std::string& line) { return line.rfind("PNG ", 0) == 0; });
  ASSERT_NE(png, formats.lines.end());
  for (const char* column : {"Portable Network Graphics", "image/png", " png ", "imr_web.so", "details"}) {
    EXPECT_NE(png->find(column), std::string::npos) << column << " in " << *png;
  }
  const auto indd = std::find_if(formats.lines.begin(), formats.lines.end(),
                                [](const std::string& line) { return line.rfind("INDD ", 0) == 0; });
  ASSERT_NE(indd, formats.lines.end());
  EXPECT_NE(indd->find(" -  "), std::string::npos) << *indd;
  EXPECT_EQ(indd->substr(indd->size() - 15), "recognised only") << *indd;
}

TEST_F(ImrCommand, ChainsAreShownInCharactersThatPrint) {
  const Outcome chains = Imr("formats --chains");
  EXPECT_EQ(chains.status, 0);
  EXPECT_GT(chains.lines.size(), 1000u);
  bool escaped = false;
  for (const std::string& line : chains.lines) {
    for (const char c : line) ASSERT_TRUE(c >= 0x20 && c < 0x7f) << line;
    escaped = escaped || line.find("\\x") != std::string::npos;
  }
  EXPECT_TRUE(escaped);
  const Outcome png = Imr("magic show PNG");
  EXPECT_EQ(png.status, 0);
  ASSERT_FALSE(png.lines.empty());
  EXPECT_EQ(png.lines[0].rfind("  PNG (", 0), 0u) << png.lines[0];
  EXPECT_NE(std::find(png.lines.begin(), png.lines.end(), "      Set 'FileFormat' to 'PNG'"), png.lines.end());
  EXPECT_EQ(Imr("magic show NO_SUCH_ENTRY").status, 1);
  EXPECT_EQ(Imr("formats --json --chains").status, 2);
}

}  // namespace
