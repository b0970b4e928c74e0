#include "tests/process/InfectedProgram.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "engine/VariantTable.h"
#include "tests/support/ChildProcess.h"
#include "tools/samplemaker/PeWriter.h"
#include "tools/samplemaker/SampleMaker.h"

namespace {

// The program is one section after the headers, to the end of the file: the
// record's windows in its lower part, and from the entry point on the entry
// code, its import table and its strings. The loader fills the address table
// in it, so it is writable too.
constexpr uint32_t SECTION_RVA = PE_SECTION_ALIGNMENT;
constexpr uint32_t SECTION_FILE_OFFSET = SAMPLE_HEADERS_SIZE;
constexpr uint32_t SECTION_FLAGS =
    SECTION_CODE | SECTION_INITIALISED_DATA | SECTION_EXECUTABLE | SECTION_READABLE | SECTION_WRITABLE;

constexpr char TARGET_LIBRARY[] = "process_target.dll";
constexpr char TARGET_FUNCTION[] = "TargetMain";
constexpr char SYSTEM_LIBRARY[] = "KERNEL32.dll";

// The imports of the entry code, in the order of their address-table slots.
enum Import { LOAD_LIBRARY, GET_PROC_ADDRESS, EXIT_PROCESS, IMPORT_COUNT };
const char* const IMPORT_NAMES[IMPORT_COUNT] = {"LoadLibraryA", "GetProcAddress", "ExitProcess"};

// Where the entry code and its data lie, as distances from the entry point.
constexpr uint32_t STUB_ROOM = 0x80;
constexpr uint32_t ADDRESS_TABLE_AT = 0x80;  // IMPORT_COUNT slots and a zero one
constexpr uint32_t LOOKUP_TABLE_AT = 0xA0;   // the same names, which the loader leaves as they are
constexpr uint32_t DESCRIPTORS_AT = 0xC0;    // KERNEL32.dll's and the zero one ending the list
constexpr uint32_t HINT_NAMES_AT = 0x100;    // one hint/name entry per HINT_NAME_ROOM bytes
constexpr uint32_t HINT_NAME_ROOM = 0x20;
constexpr uint32_t SYSTEM_LIBRARY_AT = 0x160;
constexpr uint32_t TARGET_FUNCTION_AT = 0x170;
constexpr uint32_t LIBRARY_PATH_AT = 0x180;
constexpr uint32_t CODE_AREA_SIZE = LIBRARY_PATH_AT + MAX_PATH;
constexpr uint32_t DESCRIPTOR_COUNT = 2;

// The program is for this build's machine; an address-table slot holds a
// pointer of it.
constexpr bool FOR_X86_64 = sizeof(void*) == 8;
constexpr uint32_t SLOT_SIZE = FOR_X86_64 ? 8 : 4;
constexpr uint32_t SLOT_TABLE_SIZE = (IMPORT_COUNT + 1) * SLOT_SIZE;
static_assert(ADDRESS_TABLE_AT >= STUB_ROOM && ADDRESS_TABLE_AT + SLOT_TABLE_SIZE <= LOOKUP_TABLE_AT);
static_assert(LOOKUP_TABLE_AT + SLOT_TABLE_SIZE <= DESCRIPTORS_AT);
static_assert(DESCRIPTORS_AT + DESCRIPTOR_COUNT * IMPORT_DESCRIPTOR_SIZE <= HINT_NAMES_AT);
static_assert(HINT_NAMES_AT + IMPORT_COUNT * HINT_NAME_ROOM <= SYSTEM_LIBRARY_AT);
static_assert(SYSTEM_LIBRARY_AT + sizeof SYSTEM_LIBRARY <= TARGET_FUNCTION_AT);
static_assert(TARGET_FUNCTION_AT + sizeof TARGET_FUNCTION <= LIBRARY_PATH_AT);

// The RVAs the entry code refers to.
struct StubTargets {
  uint32_t entry;
  uint32_t libraryPath;
  uint32_t function;
  uint32_t slots[IMPORT_COUNT];
};

constexpr unsigned char JZ_SHORT = 0x74;
constexpr unsigned char JMP_SHORT = 0xEB;

// Instruction bytes laid down from an RVA, with short jumps forward.
class Code {
 public:
  explicit Code(uint32_t rva) : rva_(rva) {}
  void Op(std::initializer_list<unsigned char> op) { bytes_.insert(bytes_.end(), op); }
  void Field32(uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) bytes_.push_back(static_cast<unsigned char>(value >> shift));
  }
  // The distance to target from the end of this field, the last of its instruction.
  void RelativeTo(uint32_t target) { Field32(target - (rva_ + static_cast<uint32_t>(bytes_.size()) + 4)); }
  // A short jump whose landing Land sets later; returns its displacement's place.
  std::size_t JumpForward(unsigned char opcode) {
    Op({opcode, 0});
    return bytes_.size() - 1;
  }
  void Land(std::size_t jump) { bytes_[jump] = static_cast<unsigned char>(bytes_.size() - jump - 1); }
  const std::vector<unsigned char>& bytes() const { return bytes_; }

 private:
  uint32_t rva_;
  std::vector<unsigned char> bytes_;
};

// x86-64, RIP-relative: a call through an address-table slot, and a short
// jump taken when it returned null; returns the jump's place.
std::size_t CallX86_64UnlessNull(Code& c, uint32_t slot) {
  c.Op({0xFF, 0x15});  // call [rip + slot]
  c.RelativeTo(slot);
  c.Op({0x48, 0x85, 0xC0});  // test rax, rax
  return c.JumpForward(JZ_SHORT);
}

// LoadLibraryA(path), GetProcAddress(it, name), call it, ExitProcess(its
// result, or INFECTED_PROGRAM_MISSING_LIBRARY). The stack keeps the four
// arguments' home space and 16-byte alignment at each call.
std::vector<unsigned char> AssembleX86_64(const StubTargets& t) {
  Code c(t.entry);
  c.Op({0x48, 0x83, 0xEC, 0x28});  // sub rsp, 0x28
  c.Op({0x48, 0x8D, 0x0D});        // lea rcx, [rip + path]
  c.RelativeTo(t.libraryPath);
  const std::size_t noLibrary = CallX86_64UnlessNull(c, t.slots[LOAD_LIBRARY]);
  c.Op({0x48, 0x89, 0xC1});  // mov rcx, rax
  c.Op({0x48, 0x8D, 0x15});  // lea rdx, [rip + name]
  c.RelativeTo(t.function);
  const std::size_t noFunction = CallX86_64UnlessNull(c, t.slots[GET_PROC_ADDRESS]);
  c.Op({0xFF, 0xD0});  // call rax
  c.Op({0x89, 0xC1});  // mov ecx, eax
  const std::size_t toExit = c.JumpForward(JMP_SHORT);
  c.Land(noLibrary);
  c.Land(noFunction);
  c.Op({0xB9});  // mov ecx, INFECTED_PROGRAM_MISSING_LIBRARY
  c.Field32(INFECTED_PROGRAM_MISSING_LIBRARY);
  c.Land(toExit);
  c.Op({0xFF, 0x15});  // call [rip + ExitProcess]
  c.RelativeTo(t.slots[EXIT_PROCESS]);
  c.Op({0xCC});  // int3: ExitProcess does not return
  return c.bytes();
}

// i386 at a fixed image base, so absolute addresses need no relocations.
constexpr uint32_t I386_IMAGE_BASE = 0x400000;
constexpr uint64_t X86_64_IMAGE_BASE = 0x140000000;

// The same for i386, absolute: a call through a slot, and a short jump taken
// when it returned null.
std::size_t CallI386UnlessNull(Code& c, uint32_t slot) {
  c.Op({0xFF, 0x15});  // call [slot]
  c.Field32(I386_IMAGE_BASE + slot);
  c.Op({0x85, 0xC0});  // test eax, eax
  return c.JumpForward(JZ_SHORT);
}

// The same steps as the x86-64 code, the arguments on the stack.
std::vector<unsigned char> AssembleI386(const StubTargets& t) {
  Code c(t.entry);
  c.Op({0x68});  // push path
  c.Field32(I386_IMAGE_BASE + t.libraryPath);
  const std::size_t noLibrary = CallI386UnlessNull(c, t.slots[LOAD_LIBRARY]);
  c.Op({0x68});  // push name
  c.Field32(I386_IMAGE_BASE + t.function);
  c.Op({0x50});  // push eax
  const std::size_t noFunction = CallI386UnlessNull(c, t.slots[GET_PROC_ADDRESS]);
  c.Op({0xFF, 0xD0});  // call eax
  c.Op({0x50});        // push eax
  const std::size_t toExit = c.JumpForward(JMP_SHORT);
  c.Land(noLibrary);
  c.Land(noFunction);
  c.Op({0x6A, static_cast<unsigned char>(INFECTED_PROGRAM_MISSING_LIBRARY)});  // push
  c.Land(toExit);
  c.Op({0xFF, 0x15});  // call [ExitProcess]
  c.Field32(I386_IMAGE_BASE + t.slots[EXIT_PROCESS]);
  c.Op({0xCC});  // int3
  return c.bytes();
}

// What the image of each machine says of itself, and its entry code.
struct Machine {
  uint16_t machine;
  uint16_t characteristics;
  bool wide;
  uint64_t imageBase;
  uint16_t subsystemMajor, subsystemMinor;  // as the linker writes for that machine
  std::vector<unsigned char> (*assemble)(const StubTargets& targets);
};
constexpr Machine X86_64 = {
    MACHINE_AMD64, CHARACTERISTICS_EXECUTABLE | CHARACTERISTICS_LARGE_ADDRESS_AWARE, true, X86_64_IMAGE_BASE, 5, 2,
    AssembleX86_64};
constexpr Machine I386 = {
    MACHINE_I386, CHARACTERISTICS_EXECUTABLE_32BIT | CHARACTERISTICS_RELOCS_STRIPPED, false, I386_IMAGE_BASE, 4, 0,
    AssembleI386};
const Machine& THIS_MACHINE = FOR_X86_64 ? X86_64 : I386;

uint32_t FileOffsetOf(uint32_t rva) { return rva - SECTION_RVA + SECTION_FILE_OFFSET; }

// Text and its zero at an RVA, in room bytes at most.
bool PutText(std::vector<unsigned char>& b, uint32_t rva, const char* text, std::size_t room) {
  const std::size_t size = std::strlen(text) + 1;
  return size <= room && PutBytes(b, FileOffsetOf(rva), text, size);
}

bool PutSlot(std::vector<unsigned char>& b, uint32_t rva, uint32_t value) {
  return SLOT_SIZE == 8 ? Put64(b, FileOffsetOf(rva), value) : Put32(b, FileOffsetOf(rva), value);
}

// KERNEL32.dll's import descriptor, its lookup and address tables (both
// naming the functions) and the hint/name entries.
bool WriteImports(std::vector<unsigned char>& b, const PeImage& image, StubTargets& targets) {
  const uint32_t e = image.entryPoint;
  for (int i = 0; i < IMPORT_COUNT; ++i) {
    const uint32_t hintName = e + HINT_NAMES_AT + i * HINT_NAME_ROOM;
    targets.slots[i] = e + ADDRESS_TABLE_AT + i * SLOT_SIZE;
    if (!PutText(b, hintName + IMPORT_HINT_SIZE, IMPORT_NAMES[i], HINT_NAME_ROOM - IMPORT_HINT_SIZE) ||
        !PutSlot(b, e + LOOKUP_TABLE_AT + i * SLOT_SIZE, hintName) || !PutSlot(b, targets.slots[i], hintName))
      return false;
  }
  const uint32_t descriptor = FileOffsetOf(e + DESCRIPTORS_AT);
  return Put32(b, descriptor + IMPORT_LOOKUP_TABLE, e + LOOKUP_TABLE_AT) &&
         Put32(b, descriptor + IMPORT_LIBRARY_NAME, e + SYSTEM_LIBRARY_AT) &&
         Put32(b, descriptor + IMPORT_ADDRESS_TABLE, e + ADDRESS_TABLE_AT) &&
         PutText(b, e + SYSTEM_LIBRARY_AT, SYSTEM_LIBRARY, sizeof SYSTEM_LIBRARY) &&
         PutDirectory(b, image, DIRECTORY_IMPORT, e + DESCRIPTORS_AT, DESCRIPTOR_COUNT * IMPORT_DESCRIPTOR_SIZE) &&
         PutDirectory(b, image, DIRECTORY_IMPORT_ADDRESSES, e + ADDRESS_TABLE_AT, SLOT_TABLE_SIZE);
}

bool WriteEntryCode(std::vector<unsigned char>& b, const std::string& libraryPath, StubTargets& targets) {
  targets.libraryPath = targets.entry + LIBRARY_PATH_AT;
  targets.function = targets.entry + TARGET_FUNCTION_AT;
  const std::vector<unsigned char> code = THIS_MACHINE.assemble(targets);
  return PutText(b, targets.libraryPath, libraryPath.c_str(), MAX_PATH) &&
         PutText(b, targets.function, TARGET_FUNCTION, sizeof TARGET_FUNCTION) && code.size() <= STUB_ROOM &&
         PutBytes(b, FileOffsetOf(targets.entry), code.data(), code.size());
}

// The record's windows, at their distances before the entry point.
bool WriteWindows(std::vector<unsigned char>& b, const VariantRecord& record, uint32_t entry) {
  const auto put = [&b, entry](int32_t offset, const unsigned char* signature) {
    const bool beforeEntry = static_cast<int64_t>(offset) + static_cast<int64_t>(SIGNATURE_LENGTH) <= 0;
    return beforeEntry && PutBytes(b, FileOffsetOf(entry + static_cast<uint32_t>(offset)), signature, SIGNATURE_LENGTH);
  };
  return put(record.offset1, record.signature1) && put(record.offset2, record.signature2);
}

// The image's headers: the entry point on the first page past the record's
// lower window distance, so that both windows lie in the section.
PeImage ImageFor(const VariantRecord& record) {
  PeImage image;
  image.machine = THIS_MACHINE.machine;
  image.characteristics = THIS_MACHINE.characteristics;
  image.wide = THIS_MACHINE.wide;
  image.imageBase = THIS_MACHINE.imageBase;
  image.subsystem = SUBSYSTEM_WINDOWS_CUI;
  image.subsystemMajor = THIS_MACHINE.subsystemMajor;
  image.subsystemMinor = THIS_MACHINE.subsystemMinor;
  image.dosText = "Test program: runs the process tests' library.";
  const int64_t lowest = std::min<int64_t>({0, record.offset1, record.offset2});
  image.entryPoint = SECTION_RVA + AlignUp(static_cast<uint32_t>(-lowest), PE_SECTION_ALIGNMENT);
  PeSection section;
  section.name = ".text";
  section.virtualAddress = SECTION_RVA;
  section.rawPointer = SECTION_FILE_OFFSET;
  section.rawSize = AlignDown(record.fileSize - std::min(record.fileSize, SECTION_FILE_OFFSET), PE_FILE_ALIGNMENT);
  section.virtualSize = section.rawSize;
  section.characteristics = SECTION_FLAGS;
  image.sections.assign(1, section);
  return image;
}

}  // namespace

bool BuildInfectedProgram(const std::string& libraryPath, std::vector<unsigned char>& bytes) {
  bytes.clear();
  const VariantRecord& record = variantTable[0];
  const PeImage image = ImageFor(record);
  const PeSection& section = image.sections.front();
  if (image.entryPoint + CODE_AREA_SIZE > section.virtualAddress + section.virtualSize) return false;
  std::vector<unsigned char> b(record.fileSize, 0);
  StubTargets targets = {};
  targets.entry = image.entryPoint;
  if (!WritePeHeaders(b, image) || !WriteImports(b, image, targets) || !WriteEntryCode(b, libraryPath, targets) ||
      !WriteWindows(b, record, image.entryPoint))
    return false;
  bytes.swap(b);
  return true;
}

std::string TargetLibraryPath() { return OwnExecutableFolder() + "\\" + TARGET_LIBRARY; }

bool WriteInfectedProgram(const std::string& path) {
  std::vector<unsigned char> bytes;
  return BuildInfectedProgram(TargetLibraryPath(), bytes) && WriteBytes(path, bytes);
}
