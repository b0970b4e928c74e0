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

// A class's run-time class record, named class<Class>, and the override that
// returns it; IMPLEMENT_DYNAMIC in the class's source file defines both.
#define DECLARE_DYNAMIC(theClass)             \
 public:                                      \
  static const CRuntimeClass class##theClass; \
  const CRuntimeClass* GetRuntimeClass() const override;

#define IMPLEMENT_DYNAMIC(theClass, baseClass)                                                                 \
  const CRuntimeClass theClass::class##theClass = {#theClass, sizeof(theClass), &baseClass::class##baseClass}; \
  const CRuntimeClass* theClass::GetRuntimeClass() const { return &class##theClass; }

class CObject {
 public:
  virtual const CRuntimeClass* GetRuntimeClass() const;
  virtual ~CObject() = default;

  bool IsKindOf(const CRuntimeClass* cls) const;

  static const CRuntimeClass classCObject;
};
