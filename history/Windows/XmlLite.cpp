// xmllite.dll, loaded once and kept for the life of the process.
#include "history/Windows/XmlLite.h"

#include <cstdio>

#include "platform/Errors.h"

namespace marlowin::history::xmllite {
namespace {

using CreateFunction = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);

struct Library {
  std::error_code error;
  CreateFunction createReader = nullptr;
  CreateFunction createWriter = nullptr;
};

CreateFunction Find(HMODULE module, const char* name) {
  // GetProcAddress's type stands for any function: through void(*)() to the one it is.
  return reinterpret_cast<CreateFunction>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

const Library& Loaded() {
  static const Library library = [] {
    Library loaded;
    HMODULE module = LoadLibraryExW(L"xmllite.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!module) {
      loaded.error = platform::LastError();
      return loaded;
    }
    loaded.createReader = Find(module, "CreateXmlReader");
    loaded.createWriter = Find(module, "CreateXmlWriter");
    if (!loaded.createReader || !loaded.createWriter) loaded.error = platform::LastError();
    return loaded;
  }();
  return library;
}

Failure Create(CreateFunction Library::*function, REFIID type, void** object) {
  const Library& library = Loaded();
  if (library.error) return {library.error, "xmllite.dll"};
  const HRESULT result = (library.*function)(type, object, nullptr);
  if (FAILED(result)) return Failed(HistoryErrc::kXmlFailed, result, "CreateXmlReader/Writer");
  return {};
}

}  // namespace

Failure NewReader(Com<IXmlReader>& reader) {
  return Create(&Library::createReader, __uuidof(IXmlReader), reinterpret_cast<void**>(reader.Out()));
}

Failure NewWriter(Com<IXmlWriter>& writer) {
  return Create(&Library::createWriter, __uuidof(IXmlWriter), reinterpret_cast<void**>(writer.Out()));
}

Failure Failed(HistoryErrc code, HRESULT result, std::string where) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(result));
  return {code, (where.empty() ? "" : where + ": ") + "XmlLite error " + hex};
}

}  // namespace marlowin::history::xmllite
