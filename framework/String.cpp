#include "framework/String.h"

#include <cstdlib>
#include <cstring>

CString::CString(const char* text) {
  if (text) Assign(text, std::strlen(text));
}

CString::CString(const char* text, std::size_t length) { Assign(text, length); }

CString& CString::operator=(const CString& other) {
  if (this != &other) Assign(other.GetString(), other.m_length);
  return *this;
}

CString& CString::operator=(const char* text) {
  // The text may be this string's own.
  CString copy(text);
  Assign(copy.GetString(), copy.m_length);
  return *this;
}

CString::~CString() { std::free(m_data); }

void CString::Assign(const char* text, std::size_t length) {
  char* data = length ? static_cast<char*>(std::malloc(length + 1)) : nullptr;
  if (data) {
    std::memcpy(data, text, length);
    data[length] = '\0';
  }
  std::free(m_data);
  m_data = data;
  m_length = data ? length : 0;
}

bool operator==(const CString& left, const char* right) {
  return std::strcmp(left.GetString(), right ? right : "") == 0;
}
