#include "run/ImportPatch_win32.h"

#include <cstdint>
#include <cstring>

namespace {

bool SameDllName(const char* a, const char* b) {
  return lstrcmpiA(a, b) == 0;
}

}  // namespace

void* PatchImport(HMODULE module, const char* dll, const char* function, void* replacement) {
  auto* base = reinterpret_cast<uint8_t*>(module);
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  if (module == nullptr || dos->e_magic != IMAGE_DOS_SIGNATURE) return nullptr;
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  if (nt->Signature != IMAGE_NT_SIGNATURE) return nullptr;
  const IMAGE_DATA_DIRECTORY& directory =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (directory.VirtualAddress == 0) return nullptr;

  for (auto* import = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
       import->Name != 0; ++import) {
    if (!SameDllName(reinterpret_cast<const char*>(base + import->Name), dll)) continue;
    // The name table stays as linked; the address table is what the loader
    // filled in and what the module's calls go through.
    DWORD namesRva =
        import->OriginalFirstThunk != 0 ? import->OriginalFirstThunk : import->FirstThunk;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + namesRva);
    auto* addresses = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++addresses) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0) continue;

      DWORD oldProtection = 0;
      if (!VirtualProtect(&addresses->u1.Function, sizeof addresses->u1.Function, PAGE_READWRITE,
                          &oldProtection)) {
        return nullptr;
      }
      void* previous = reinterpret_cast<void*>(addresses->u1.Function);
      addresses->u1.Function = reinterpret_cast<uintptr_t>(replacement);
      VirtualProtect(&addresses->u1.Function, sizeof addresses->u1.Function, oldProtection,
                     &oldProtection);
      FlushInstructionCache(GetCurrentProcess(), &addresses->u1.Function,
                            sizeof addresses->u1.Function);
      return previous;
    }
  }
  return nullptr;
}
