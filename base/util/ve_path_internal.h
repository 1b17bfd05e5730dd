// Path helpers shared inside the library: the directory part of a file name
// and the join on std::string.
#ifndef VE_PATH_INTERNAL_H
#define VE_PATH_INTERNAL_H

#include <string>

#include "base/util/ve_path.h"

/* Copies the directory part of the path (cut at the last "/", the separator
 * removed) into out and returns out. A path without "/" is copied unchanged;
 * a null or empty path gives "". out must hold strlen(path) + 1 bytes. */
char *ves_path_dirname(const char *path, char *out);

/* The directory and the component joined by the rule of VES_pathcat. */
std::string ves_path_join(const std::string &path, const char *component);

#endif
