#include "formats/common/format_reader.h"
