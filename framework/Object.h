#pragma once
#include <windows.h>

#include <cstddef>

// What an object can say about its class at run time: its name and its base.
// None of the program's classes is created by name or stored to a file, so the
// record holds nothing for either.
struct CRuntimeClass {
  const char* m_lpszClassName;
  std::size_t m_nObjectSize;
  const CRuntimeClass* m_pBaseClass;  // nullptr for CObject

  bool IsDerivedFrom(const CRuntimeClass* base) const;
};

class CObject {
 public:
  virtual const CRuntimeClass* GetRuntimeClass() const;
  virtual ~CObject() = default;

  bool IsKindOf(const CRuntimeClass* cls) const;

  static const CRuntimeClass classCObject;
};
