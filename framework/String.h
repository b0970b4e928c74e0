#pragma once
#include <cstddef>

// A text of any length on the heap, for the window texts the framework hands
// out and the texts a dialog keeps. Nothing throws: when memory runs out the
// text is empty.
class CString {
 public:
  CString() = default;
  CString(const char* text);  // nullptr gives an empty text
  CString(const char* text, std::size_t length);
  CString(const CString& other) : CString(other.GetString(), other.m_length) {}
  CString& operator=(const CString& other);
  CString& operator=(const char* text);
  ~CString();

  const char* GetString() const { return m_data ? m_data : ""; }
  operator const char*() const { return GetString(); }
  int GetLength() const { return static_cast<int>(m_length); }
  bool IsEmpty() const { return m_length == 0; }

 private:
  void Assign(const char* text, std::size_t length);

  char* m_data = nullptr;
  std::size_t m_length = 0;
};

bool operator==(const CString& left, const char* right);
inline bool operator==(const char* left, const CString& right) { return right == left; }
inline bool operator==(const CString& left, const CString& right) { return left == right.GetString(); }
inline bool operator!=(const CString& left, const char* right) { return !(left == right); }
