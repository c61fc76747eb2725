#pragma once

// XmlLite, loaded from xmllite.dll when first needed (mingw-w64 ships its header but no import
// library), and what its readers and writers share: COM references and memory streams.
#include <windows.h>
#include <objidl.h>
#include <xmllite.h>

#include <string>
#include <utility>

#include "history/Failure.h"

namespace marlowin::history::xmllite {

// A COM reference, released when it goes.
template <class T>
class Com {
 public:
  Com() = default;
  explicit Com(T* object) : object_(object) {}
  Com(const Com&) = delete;
  Com& operator=(const Com&) = delete;
  ~Com() {
    if (object_) object_->Release();
  }
  T* operator->() const { return object_; }
  T* get() const { return object_; }
  T** Out() { return &object_; }

 private:
  T* object_ = nullptr;
};

// A new reader or writer; the reason when xmllite.dll or its function cannot be had.
[[nodiscard]] Failure NewReader(Com<IXmlReader>& reader);
[[nodiscard]] Failure NewWriter(Com<IXmlWriter>& writer);

// The failure of an XmlLite call, with its HRESULT in the detail.
Failure Failed(HistoryErrc code, HRESULT result, std::string where);

}  // namespace marlowin::history::xmllite
