#pragma once

// The URL under which a URDF mesh file name is fetched.

#include <string>

namespace shapes
{
// "package://<rest>" names the file description_dir + rest (joined as they stand, so the first directory
// of rest stays part of the path); a name that already starts with "file://" is returned as it is; any
// other name is a file path. A relative path is taken from the working directory, and the absolute path
// is percent-encoded behind "file://", so spaces, "%" and "#" in directory or file names survive.
// Returns an empty string for "package://" with nothing after it; the caller reports that.
std::string meshResourceUrl(const std::string& file_name, const std::string& description_dir);

// Every byte of the path except letters, digits, "-", ".", "_", "~" and "/" as %XX.
std::string percentEncodePath(const std::string& path);

}  // namespace shapes
