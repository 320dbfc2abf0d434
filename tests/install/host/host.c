/* A host of the installed library: prints the format, MIME type and size of
 * the file it is given. */
#include <imr.h>
#include <stdio.h>

int main(int argc, char** argv) {
  imr_detector* detector = NULL;
  if (argc != 2 || imr_open(NULL, IMR_OPEN_NO_CACHE, &detector) != IMR_OK) return 2;
  imr_result* result = imr_result_new();
  const imr_status status =
      imr_describe(detector, argv[1], IMR_LEVEL_DEPENDENCIES, IMR_TYPES_DEFAULT, result);
  const imr_description* d = imr_result_description(result);
  if (status == IMR_OK) {
    printf("%s %s %ux%u\n", d->format, d->mime, d->images[d->selected].columns, d->images[d->selected].rows);
  } else {
    fprintf(stderr, "%s: %s\n", imr_status_name(status), imr_last_error());
  }
  imr_result_free(result);
  imr_close(detector);
  return status == IMR_OK ? 0 : 1;
}
