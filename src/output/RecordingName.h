// Names of the files of one recording: the client's name for the first file,
// then name_1.ext, name_2.ext ... for the files that continue it.
#pragma once

#include <string>

namespace calidra {

// path itself for counter 0; otherwise directory, file name, "_", counter and
// extension (the extension is the last "." of the file-name part onward).
std::wstring RecordingFileName(const std::wstring& path, unsigned counter);

}  // namespace calidra
