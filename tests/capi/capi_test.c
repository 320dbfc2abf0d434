/* The C interface from C: descriptions and their fields, results reused,
 * JSON batches, SmartID, the format list, every kind of bad input, closed
 * detectors, many threads on one detector, and the once-per-process
 * configuration.  Run as `capi_test GROUP` (see main).  Prints
 * "N passed, N failed". */
#define _GNU_SOURCE
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "imr.h"

static int passed, failed;

#define CHECK(condition, ...)                                         \
  do {                                                                \
    if (condition) {                                                  \
      ++passed;                                                       \
    } else {                                                          \
      ++failed;                                                       \
      fprintf(stderr, "%s:%d: %s: ", __FILE__, __LINE__, #condition); \
      fprintf(stderr, __VA_ARGS__);                                   \
      fputc('\n', stderr);                                            \
    }                                                                 \
  } while (0)

static const char* corpus;

/* The path of a corpus file, in one of a few buffers of the thread's own. */
static const char* Corpus(const char* name) {
  static _Thread_local char paths[8][4096];
  static _Thread_local int next;
  char* path = paths[next++ % 8];
  snprintf(path, 4096, "%s/%s", corpus, name);
  return path;
}

/* Copies corpus file `name` to a new file from mkstemp's `pattern`. */
static void CopyToTemp(const char* name, char* pattern) {
  int out = mkstemp(pattern);
  FILE* in = fopen(Corpus(name), "rb");
  char buffer[4096];
  size_t got;
  while (in && out >= 0 && (got = fread(buffer, 1, sizeof buffer, in)) > 0) {
    CHECK(write(out, buffer, got) == (ssize_t)got, "copying %s", name);
  }
  if (in) fclose(in);
  if (out >= 0) close(out);
}

static imr_detector* Open(unsigned flags) {
  imr_detector* detector = NULL;
  imr_status status = imr_open(NULL, flags, &detector);
  if (status != IMR_OK) {
    fprintf(stderr, "imr_open: %s: %s\n", imr_status_name(status), imr_last_error());
    exit(2);
  }
  return detector;
}

/* Files and what the description of each must say. */
static const struct {
  const char* file;
  imr_status status;
  const char* format;
  const char* mime;
  uint32_t columns, rows;
  const char* channels;
  size_t images;
} kFiles[] = {
    {"PNG.png", IMR_OK, "PNG", "image/png", 16, 16, "Bilevel", 1},
    {"ExifTool.tif", IMR_OK, "TIFF", "image/tiff", 160, 120, "RGB", 1},
    {"GIF.gif", IMR_OK, "GIF", "image/gif", 8, 8, "Indexed", 1},
    {"DNG.dng", IMR_OK, "DNG", "image/x-adobe-dng", 3516, 2328, "RGB", 4},
    {"PDF.pdf", IMR_OK, "PDF", "application/pdf", 8, 8, "Vector", 1},
    {"Text1.txt", IMR_E_NOT_RECOGNIZED, "", "", 0, 0, NULL, 0},
    {"absent.png", IMR_E_CANNOT_READ, "", "", 0, 0, NULL, 0},
    {".", IMR_E_CANNOT_READ, "", "", 0, 0, NULL, 0},
};
#define COUNT(array) (sizeof(array) / sizeof(array[0]))

static void TestDescriptions(void) {
  imr_detector* detector = Open(IMR_OPEN_NO_CACHE);
  imr_result* result = imr_result_new();
  /* One result for every file, twice over: nothing of a file stays behind
   * in the next one's description. */
  for (int round = 0; round < 2; ++round) {
    for (size_t i = 0; i < COUNT(kFiles); ++i) {
      const char* path = Corpus(kFiles[i].file);
      imr_status status = imr_describe(detector, path, IMR_LEVEL_DEPENDENCIES, IMR_TYPES_DEFAULT, result);
      const imr_description* d = imr_result_description(result);
      CHECK(status == kFiles[i].status, "%s: %s", kFiles[i].file, imr_status_name(status));
      CHECK(strcmp(d->path, path) == 0, "%s: path %s", kFiles[i].file, d->path);
      CHECK(d->recognized == (status == IMR_OK), "%s", kFiles[i].file);
      CHECK(strcmp(d->format, kFiles[i].format) == 0, "%s: format %s", kFiles[i].file, d->format);
      CHECK(strcmp(d->mime, kFiles[i].mime) == 0, "%s: mime %s", kFiles[i].file, d->mime);
      CHECK(d->image_count == kFiles[i].images, "%s: %zu images", kFiles[i].file, d->image_count);
      if (status != IMR_OK) {
        CHECK(d->selected == -1 && *d->error_class && *d->error_message, "%s", kFiles[i].file);
        CHECK(strcmp(imr_last_error(), d->error_message) == 0, "%s: %s", kFiles[i].file, imr_last_error());
        continue;
      }
      CHECK(*d->error_class == '\0' && *imr_last_error() == '\0', "%s", kFiles[i].file);
      const imr_image* image = &d->images[d->selected];
      CHECK(image->columns == kFiles[i].columns && image->rows == kFiles[i].rows, "%s: %u x %u",
            kFiles[i].file, image->columns, image->rows);
      CHECK(strcmp(image->channel_encoding, kFiles[i].channels) == 0, "%s: %s", kFiles[i].file,
            image->channel_encoding);
      CHECK(image->fill_level == IMR_LEVEL_DEPENDENCIES, "%s: level %d", kFiles[i].file, image->fill_level);
      CHECK(image->extended_info[0] == '{' && image->external_refs[0] == '[', "%s", kFiles[i].file);
      CHECK(strncmp(image->file, "file://", 7) == 0, "%s: file %s", kFiles[i].file, image->file);
    }
  }
  /* The fields that the TIFF states beyond its size. */
  imr_describe(detector, Corpus("ExifTool.tif"), IMR_LEVEL_DEPENDENCIES, IMR_TYPES_DEFAULT, result);
  const imr_image* tiff = imr_result_description(result)->images;
  CHECK(tiff->h_resolution == 180 && tiff->v_resolution == 180 && strcmp(tiff->units, "Inch") == 0,
        "%g x %g %s", tiff->h_resolution, tiff->v_resolution, tiff->units);
  CHECK(strcmp(tiff->image_type, "Main") == 0 && tiff->related_index == -1, "%s", tiff->image_type);
  /* A lower level describes less. */
  imr_describe(detector, Corpus("DNG.dng"), IMR_LEVEL_FORMAT, IMR_TYPES_DEFAULT, result);
  CHECK(imr_result_description(result)->images[0].fill_level == IMR_LEVEL_FORMAT, "level 2");
  imr_result_free(result);
  imr_close(detector);
}

/* A detector opened without the cache leaves no record beside the file; one
 * with it does (where the file system keeps extended attributes). */
static void TestCacheSwitch(void) {
  char copy[] = "/tmp/imr_capi_cache_XXXXXX";
  CopyToTemp("PNG.png", copy);
  imr_detector* uncached = Open(IMR_OPEN_NO_CACHE);
  imr_detector* cached = Open(0);
  imr_result* result = imr_result_new();
  CHECK(imr_describe(uncached, copy, 6, 7, result) == IMR_OK, "%s", imr_last_error());
  CHECK(listxattr(copy, NULL, 0) == 0, "a record without the cache");
  CHECK(imr_describe(cached, copy, 6, 7, result) == IMR_OK, "%s", imr_last_error());
  if (setxattr(copy, "user.imr_capi_test", "1", 1, 0) == 0) {
    removexattr(copy, "user.imr_capi_test");
    CHECK(listxattr(copy, NULL, 0) > 0, "no record with the cache");
  }
  imr_result_free(result);
  imr_close(cached);
  imr_close(uncached);
  unlink(copy);
}

static void TestJson(void) {
  imr_detector* detector = Open(IMR_OPEN_NO_CACHE);
  char* json = NULL;
  CHECK(imr_describe_json(detector, Corpus("PNG.png"), 6, 7, &json) == IMR_OK, "%s", imr_last_error());
  CHECK(json && strstr(json, "\"mime\":\"image/png\"") && !strchr(json, '\n'), "%s", json);
  imr_free(json);
  CHECK(imr_describe_json(detector, Corpus("Text1.txt"), 6, 7, &json) == IMR_E_NOT_RECOGNIZED, "text");
  CHECK(json && strstr(json, "\"recognized\":false"), "%s", json);
  imr_free(json);
  CHECK(imr_describe_json(detector, "", 6, 7, &json) == IMR_E_ARGUMENT && json == NULL, "empty path");

  /* A batch keeps its order and gives refused paths an object of their own. */
  const char* paths[] = {Corpus("GIF.gif"), NULL, "bad\xff", Corpus("Text1.txt")};
  CHECK(imr_describe_json_many(detector, paths, 4, 6, 7, &json) == IMR_OK, "%s", imr_last_error());
  const char* at[4];
  const char* keys[] = {"\"file_format\":\"GIF\"", "the path is null", "the path is not UTF-8",
                        "IMR_EPluginFileNotRecognized"};
  for (int i = 0; i < 4; ++i) at[i] = json ? strstr(json, keys[i]) : NULL;
  CHECK(json && json[0] == '[' && at[0] && at[1] > at[0] && at[2] > at[1] && at[3] > at[2], "%s", json);
  imr_free(json);
  CHECK(imr_describe_json_many(detector, NULL, 0, 6, 7, &json) == IMR_OK && strcmp(json, "[]") == 0, "empty");
  imr_free(json);
  imr_close(detector);
}

static void TestSmartIdAndFormats(void) {
  imr_detector* detector = Open(IMR_OPEN_NO_CACHE);
  uint32_t first = 0, again = 0, other = 0;
  CHECK(imr_smartid(detector, Corpus("PNG.png"), &first) == IMR_OK && first != 0, "%u", first);
  CHECK(imr_smartid(detector, Corpus("PNG.png"), &again) == IMR_OK && again == first, "%u", again);
  CHECK(imr_smartid(detector, Corpus("GIF.gif"), &other) == IMR_OK && other != first, "%u", other);
  CHECK(imr_smartid(detector, Corpus("absent.png"), &other) == IMR_E_CANNOT_READ && other == 0, "absent");

  /* Every format has a MIME type, extensions, a known depth, and a module
   * unless it is only recognised. */
  const imr_format* formats = NULL;
  size_t count = 0;
  CHECK(imr_formats(detector, &formats, &count) == IMR_OK && count > 50, "%zu formats", count);
  const char* depths = " recognised geometry images details dependencies ";
  int png = 0;
  for (size_t i = 0; i < count; ++i) {
    const imr_format* f = &formats[i];
    char depth[64];
    snprintf(depth, sizeof depth, " %s ", f->depth);
    CHECK(strchr(f->mime, '/') && *f->description && f->extension_count > 0 && strstr(depths, depth),
          "%s: %s [%zu] %s", f->name, f->mime, f->extension_count, f->depth);
    CHECK((strcmp(f->depth, "recognised") == 0) == (*f->module == '\0'), "%s: %s %s", f->name, f->module,
          f->depth);
    for (size_t k = 0; k < f->extension_count; ++k) {
      CHECK(*f->extensions[k] && !strchr(f->extensions[k], '.'), "%s: %s", f->name, f->extensions[k]);
    }
    for (size_t k = 0; k < i; ++k) CHECK(strcmp(formats[k].name, f->name) != 0, "%s twice", f->name);
    png += strcmp(f->name, "PNG") == 0 && strcmp(f->mime, "image/png") == 0 &&
           strcmp(f->extensions[0], "png") == 0;
  }
  CHECK(png == 1, "PNG listed once as image/png");
  imr_close(detector);
}

/* Each way of calling wrongly gets its status and a message. */
static void TestBadInput(void) {
  imr_detector* detector = Open(0);
  imr_result* result = imr_result_new();
  const imr_description* empty = imr_result_description(result);
  CHECK(*empty->path == '\0' && *empty->format == '\0' && empty->selected == -1 && empty->image_count == 0,
        "a new result is empty");
  const char* png = Corpus("PNG.png");
  char* json = NULL;
  uint32_t id = 0;
  const imr_format* formats = NULL;
  size_t count = 0;
  imr_detector* opened = NULL;
  const struct {
    const char* what;
    imr_status status;
  } kCalls[] = {
      {"open: null out", imr_open(NULL, 0, NULL)},
      {"open: unknown flag", imr_open(NULL, 0x80, &opened)},
      {"open: path not UTF-8", imr_open("\xc0\xaf.json", 0, &opened)},
      {"close: null", imr_close(NULL)},
      {"describe: null detector", imr_describe(NULL, png, 6, 7, result)},
      {"describe: null path", imr_describe(detector, NULL, 6, 7, result)},
      {"describe: empty path", imr_describe(detector, "", 6, 7, result)},
      {"describe: stray byte", imr_describe(detector, "a\xff.png", 6, 7, result)},
      {"describe: overlong", imr_describe(detector, "\xc0\xaf", 6, 7, result)},
      {"describe: surrogate", imr_describe(detector, "\xed\xa0\x80", 6, 7, result)},
      {"describe: cut short", imr_describe(detector, "\xe2\x82", 6, 7, result)},
      {"describe: past U+10FFFF", imr_describe(detector, "\xf4\x90\x80\x80", 6, 7, result)},
      {"describe: level 0", imr_describe(detector, png, 0, 7, result)},
      {"describe: level 7", imr_describe(detector, png, 7, 7, result)},
      {"describe: level -1", imr_describe(detector, png, -1, 7, result)},
      {"describe: mask 0x80", imr_describe(detector, png, 6, 0x80, result)},
      {"describe: null result", imr_describe(detector, png, 6, 7, NULL)},
      {"json: null out", imr_describe_json(detector, png, 6, 7, NULL)},
      {"json: level 9", imr_describe_json(detector, png, 9, 7, &json)},
      {"many: null paths", imr_describe_json_many(detector, NULL, 2, 6, 7, &json)},
      {"many: mask", imr_describe_json_many(detector, &png, 1, 6, 0x100, &json)},
      {"smartid: null out", imr_smartid(detector, png, NULL)},
      {"smartid: null path", imr_smartid(detector, NULL, &id)},
      {"formats: null out", imr_formats(detector, NULL, &count)},
      {"formats: null count", imr_formats(detector, &formats, NULL)},
  };
  for (size_t i = 0; i < COUNT(kCalls); ++i) {
    CHECK(kCalls[i].status == IMR_E_ARGUMENT, "%s: %s", kCalls[i].what, imr_status_name(kCalls[i].status));
  }
  CHECK(*imr_last_error() != '\0', "a message");
  CHECK(imr_result_description(NULL) == NULL && json == NULL && opened == NULL, "nothing handed out");
  imr_result_free(NULL);
  imr_free(NULL);

  /* Paths in UTF-8 beyond ASCII are accepted. */
  char copy[] = "/tmp/imr_capi_\xc3\xa9\xe2\x82\xac\xf0\x9f\x96\xbc_XXXXXX";
  CopyToTemp("PNG.png", copy);
  CHECK(imr_describe(detector, copy, 6, 7, result) == IMR_OK, "%s: %s", copy, imr_last_error());
  unlink(copy);

  /* A closed detector answers every call with IMR_E_CLOSED, and so does a
   * handle that was never opened. */
  imr_detector* closing = Open(0);
  CHECK(imr_close(closing) == IMR_OK, "close");
  imr_detector* reopened = Open(0);
  CHECK(reopened != closing, "a handle is never reused");
  const imr_status kClosed[] = {imr_describe(closing, png, 6, 7, result),
                                imr_describe_json(closing, png, 6, 7, &json),
                                imr_describe_json_many(closing, &png, 1, 6, 7, &json),
                                imr_smartid(closing, png, &id),
                                imr_formats(closing, &formats, &count),
                                imr_close(closing),
                                imr_describe((imr_detector*)(uintptr_t)0xdead, png, 6, 7, result)};
  for (size_t i = 0; i < COUNT(kClosed); ++i) {
    CHECK(kClosed[i] == IMR_E_CLOSED, "call %zu: %s", i, imr_status_name(kClosed[i]));
  }
  CHECK(
      strcmp(imr_status_name(IMR_E_CLOSED), "IMR_E_CLOSED") == 0 && *imr_status_name((imr_status)99) == '\0',
      "status names");
  imr_close(reopened);
  imr_result_free(result);
  imr_close(detector);
}

/* Many threads describe files with one detector while another closes it:
 * each call answers as a single thread would, or IMR_E_CLOSED once closed. */
enum { kThreads = 4, kRounds = 40 };
static imr_detector* shared;
static int wrong[kThreads];

static void* Worker(void* argument) {
  const int index = (int)(intptr_t)argument;
  imr_result* result = imr_result_new();
  for (int round = 0; round < kRounds; ++round) {
    for (size_t i = 0; i < COUNT(kFiles); ++i) {
      imr_status status = imr_describe(shared, Corpus(kFiles[i].file), 6, 7, result);
      if (status == IMR_E_CLOSED) continue;
      const imr_description* d = imr_result_description(result);
      if (status != kFiles[i].status || strcmp(d->format, kFiles[i].format) != 0 ||
          d->image_count != kFiles[i].images) {
        ++wrong[index];
      }
    }
  }
  imr_result_free(result);
  return NULL;
}

static void TestThreads(void) {
  shared = Open(IMR_OPEN_NO_CACHE);
  pthread_t threads[kThreads];
  for (int i = 0; i < kThreads; ++i) pthread_create(&threads[i], NULL, Worker, (void*)(intptr_t)i);
  usleep(20000);
  CHECK(imr_close(shared) == IMR_OK, "closed while in use");
  for (int i = 0; i < kThreads; ++i) {
    pthread_join(threads[i], NULL);
    CHECK(wrong[i] == 0, "thread %d: %d wrong answers", i, wrong[i]);
  }
}

/* The first detector of the process loads its configuration file; later
 * ones may only share it.  CONFIG is an overlay that renames PNG's MIME
 * type. */
static void TestConfiguration(const char* overlay) {
  imr_detector* detector = NULL;
  CHECK(imr_open("/nonexistent/imr.json", 0, &detector) == IMR_E_CONFIG && detector == NULL, "unreadable");
  CHECK(strstr(imr_last_error(), "/nonexistent/imr.json") != NULL, "%s", imr_last_error());
  CHECK(imr_open(overlay, IMR_OPEN_NO_CACHE, &detector) == IMR_OK, "%s", imr_last_error());
  imr_result* result = imr_result_new();
  imr_describe(detector, Corpus("PNG.png"), 6, 7, result);
  CHECK(strcmp(imr_result_description(result)->mime, "image/x-overlaid") == 0, "%s",
        imr_result_description(result)->mime);
  imr_detector* second = NULL;
  CHECK(imr_open(Corpus("PNG.png"), 0, &second) == IMR_E_CONFIG && second == NULL, "another file");
  CHECK(strstr(imr_last_error(), overlay) != NULL, "%s", imr_last_error());
  CHECK(imr_open(NULL, 0, &second) == IMR_OK && imr_close(second) == IMR_OK, "no file");
  CHECK(imr_open(overlay, 0, &second) == IMR_OK && imr_close(second) == IMR_OK, "the same file");
  imr_result_free(result);
  imr_close(detector);
}

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: capi_test CORPUS interface|threads|configuration [OVERLAY]\n");
    return 2;
  }
  corpus = argv[1];
  if (strcmp(argv[2], "interface") == 0) {
    TestDescriptions();
    TestCacheSwitch();
    TestJson();
    TestSmartIdAndFormats();
    TestBadInput();
  } else if (strcmp(argv[2], "threads") == 0) {
    TestThreads();
  } else if (strcmp(argv[2], "configuration") == 0 && argc == 4) {
    TestConfiguration(argv[3]);
  } else {
    fprintf(stderr, "capi_test: unknown group %s\n", argv[2]);
    return 2;
  }
  printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}
