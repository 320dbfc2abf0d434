/* imr.h: the C interface of IMR, which recognises image and document files
 * and describes every image in them.
 *
 *   imr_detector* detector;
 *   if (imr_open(NULL, 0, &detector) != IMR_OK) fail(imr_last_error());
 *   imr_result* result = imr_result_new();
 *   if (imr_describe(detector, "photo.tif", IMR_LEVEL_DEPENDENCIES, IMR_TYPES_DEFAULT,
 *                    result) == IMR_OK) {
 *     const imr_description* d = imr_result_description(result);
 *     printf("%s %s %s, %zu images\n", d->format, d->version, d->mime, d->image_count);
 *   }
 *   imr_result_free(result);
 *   imr_close(detector);
 *
 * Link with -limr_c (pkg-config imr, or CMake find_package(IMR) and IMR::imr_c).
 *
 * Errors.  Every function that can fail returns an imr_status; IMR_OK is 0.
 * imr_last_error() then gives the message of the calling thread's last
 * failure.  Bad arguments (null pointers, a path that is not UTF-8, a level,
 * type mask or flag out of range, a detector already closed) are reported,
 * never acted on.
 *
 * Threads.  One detector may be used from many threads at once.  A result
 * belongs to the thread that fills it.  Closing a detector while other
 * threads use it lets their calls finish; later calls get IMR_E_CLOSED.
 *
 * Configuration.  The library reads its configuration (the built-in one,
 * with a JSON file laid over it) once per process, when the first detector
 * is opened: its config_path, or else the file named by the environment
 * variable IMR_CONFIG.  A later detector opened with NULL or with the same
 * path shares it; one opened with another path fails with IMR_E_CONFIG and
 * leaves the configuration as it is.
 *
 * Strings the library returns are UTF-8.  Those inside a result or a format
 * list stay valid until the result is refilled or freed (for formats: for the
 * life of the process); those returned through a char** are the caller's, to
 * release with imr_free.
 */
#ifndef IMR_H
#define IMR_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define IMR_API __attribute__((visibility("default")))

/* The version of this interface: the functions and fields below; later
 * versions only add to them. */
#define IMR_C_API_VERSION 1

typedef enum imr_status {
  IMR_OK = 0,
  IMR_E_ARGUMENT = 1,       /* a null pointer, a path that is not UTF-8, a
                               level, type mask or flag out of range */
  IMR_E_CLOSED = 2,         /* the detector was closed */
  IMR_E_NOT_RECOGNIZED = 3, /* no format recognises the file */
  IMR_E_CANNOT_READ = 4,    /* the file cannot be opened or read */
  IMR_E_CONFIG = 5,         /* the library cannot be set up: the configuration
                               file cannot be read, or another one is loaded */
  IMR_E_NO_MEMORY = 6,
  IMR_E_INTERNAL = 7        /* any other failure inside the library */
} imr_status;

/* How far to describe a file. */
enum {
  IMR_LEVEL_FORMAT = 2,       /* format and kind of image */
  IMR_LEVEL_GEOMETRY = 3,     /* pixels, resolution, real size, channels */
  IMR_LEVEL_ALL_IMAGES = 4,   /* every image of the file */
  IMR_LEVEL_DETAILS = 5,      /* extended information */
  IMR_LEVEL_DEPENDENCIES = 6  /* linked files */
};
#define IMR_LEVEL_MIN 1
#define IMR_LEVEL_MAX IMR_LEVEL_DEPENDENCIES

/* Which kinds of image embedded in a file to describe (a file's own images
 * are always described).  Results are cached beside the files for masks up
 * to IMR_TYPES_DEFAULT. */
enum {
  IMR_TYPE_MAIN = 0x01,
  IMR_TYPE_THUMBNAIL = 0x02,
  IMR_TYPE_PREVIEW = 0x04,
  IMR_TYPE_AUXILIARY = 0x78, /* auxiliary images and pages */
  IMR_TYPES_DEFAULT = 0x07,
  IMR_TYPES_ALL = 0x7F
};

/* Flags of imr_open. */
enum {
  IMR_OPEN_NO_CACHE = 0x01 /* neither read nor write results cached beside files */
};

/* A detector: describes files, from any number of threads. */
typedef struct imr_detector imr_detector;

/* Opens a detector into *detector.  config_path: a JSON file laid over the
 * built-in configuration, or NULL (see Configuration above).  flags: 0 or
 * IMR_OPEN_NO_CACHE. */
IMR_API imr_status imr_open(const char* config_path, unsigned flags, imr_detector** detector);
/* Closes a detector; IMR_E_CLOSED when it was closed already. */
IMR_API imr_status imr_close(imr_detector* detector);

/* One image of a file, with the fields of `imr identify --json`. */
typedef struct imr_image {
  const char* file_format;         /* "TIFF" */
  const char* file_format_version; /* "6.0", or "" */
  const char* mime;                /* "image/tiff", or "" when not known */
  const char* image_type;          /* "Main", "Thumbnail", "Preview", "Page", ... */
  const char* image_subtype;
  int fill_level;                  /* how far it is described: 1 to 6 */
  int image_position;
  uint32_t columns;
  uint32_t rows;
  double h_resolution;             /* pixels per unit */
  double v_resolution;
  double h_real_size;              /* in units */
  double v_real_size;
  const char* units;               /* "Inch", "Centimeter", "None", ... */
  const char* rotation;
  const char* channel_encoding;    /* "RGB", "CMYK", "Bilevel", ... */
  const char* alpha_plane;
  uint32_t inks;
  int32_t pages;
  double margin_top;
  double margin_left;
  double margin_bottom;
  double margin_right;
  const char* creator_id;
  const char* image_processor;
  int32_t related_index;           /* -1 when none */
  const char* file;                /* the file's URL */
  const char* extended_info;       /* a JSON object: {"Compression":"LZW", ...} */
  const char* external_refs;       /* a JSON array of the files it needs */
} imr_image;

/* What imr_describe found, read through imr_result_description. */
typedef struct imr_description {
  const char* path;          /* as given */
  int recognized;            /* 1 or 0 */
  long selected;             /* index of the selected image, -1 when none */
  const char* format;        /* the selected image's format, or "" */
  const char* version;       /* its version, or "" */
  const char* mime;          /* its MIME type, or "" */
  const char* error_class;   /* "" when recognised, else the failure's class */
  const char* error_message; /* "" when recognised, else what went wrong */
  size_t image_count;
  const imr_image* images;   /* image_count images */
} imr_description;

/* A result, owned by the caller and reusable for many files. */
typedef struct imr_result imr_result;

/* A new empty result; NULL when out of memory. */
IMR_API imr_result* imr_result_new(void);
IMR_API void imr_result_free(imr_result* result);
/* The description held by `result` (an empty one before the first
 * imr_describe); NULL when result is NULL. */
IMR_API const imr_description* imr_result_description(const imr_result* result);

/* Describes the file at `path` up to `level` (IMR_LEVEL_MIN to
 * IMR_LEVEL_MAX) for the image kinds `types` (1 to IMR_TYPES_ALL) into
 * `result`.  The result is refilled whenever the file was examined, so it
 * also says why a file was not recognised or could not be read. */
IMR_API imr_status imr_describe(imr_detector* detector, const char* path, int level,
                                unsigned types, imr_result* result);
/* As imr_describe, but sets *json to the one-line JSON object that
 * `imr identify --json` prints for the file (free it with imr_free), or to
 * NULL when the file was not examined. */
IMR_API imr_status imr_describe_json(imr_detector* detector, const char* path, int level,
                                     unsigned types, char** json);
/* Describes the `count` files of `paths` one after another and sets *json
 * to a JSON array of their objects, in order (free it with imr_free).  A
 * path that cannot be described (null, empty, not UTF-8) gets an object with
 * "recognized" false and the error class "imr".  IMR_OK once every path has
 * its object; the objects say which files were recognised.  A host that
 * describes many files from its own threads calls this once per batch of
 * files rather than imr_describe_json once per file. */
IMR_API imr_status imr_describe_json_many(imr_detector* detector, const char* const* paths,
                                          size_t count, int level, unsigned types, char** json);
/* Sets *id to the identity of the file at `path` and of every file it
 * needs: a number that changes when any of them changes. */
IMR_API imr_status imr_smartid(imr_detector* detector, const char* path, uint32_t* id);

/* A format the library recognises. */
typedef struct imr_format {
  const char* name;                /* as in imr_image.file_format */
  const char* description;
  const char* mime;
  const char* const* extensions;   /* without dots, the usual one first */
  size_t extension_count;
  const char* module;              /* the module that describes it, or "" when
                                      only recognised */
  const char* depth;               /* "recognised", "geometry", "images",
                                      "details" or "dependencies" */
} imr_format;

/* Sets *formats to the formats in the order they are tried and *count to
 * their number; the list lives as long as the process. */
IMR_API imr_status imr_formats(imr_detector* detector, const imr_format** formats, size_t* count);

/* The message of the calling thread's last failure, "" after a success. */
IMR_API const char* imr_last_error(void);
/* The name of a status: "IMR_E_NOT_RECOGNIZED"; "" for an unknown one. */
IMR_API const char* imr_status_name(imr_status status);
/* Releases a string the library returned; NULL is ignored. */
IMR_API void imr_free(void* text);

#ifdef __cplusplus
}
#endif

#endif /* IMR_H */
