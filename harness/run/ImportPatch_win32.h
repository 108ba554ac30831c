// Redirects a loaded module's calls into another DLL by rewriting the
// module's import address table: the harness's way to stand between the
// module and the operating system on Windows, where the module calls the
// platform's own functions.
#pragma once

#include <windows.h>

// Points the module's import of `function` from `dll` (the DLL's name as the
// module's import table spells it, compared without regard to case) at
// `replacement`. Returns the address the entry held before, or null when the
// module does not import that function by name from that DLL.
void* PatchImport(HMODULE module, const char* dll, const char* function, void* replacement);
