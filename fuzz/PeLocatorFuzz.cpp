// Fuzz target: any file through the PE locator and the variant matching. The
// first 8 bytes of the input, when present, also form an extra record's two
// offsets, so arbitrary (also wrapping) RVAs are converted and read.
#include <io.h>

#include <cstring>

#include "FuzzFile.h"
#include "engine/Detection.h"
#include "engine/PeLocator.h"
#include "engine/VariantTable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const int fd = OpenFuzzInput(data, size);
  if (fd == -1) return 0;
  const int32_t length = FileLength32(fd);
  if (ReadFileHeader(fd) && ReadOptionalHeaderAndSections(fd)) {
    const uint32_t entryPoint = EntryPointRva();
    for (const VariantRecord* r = variantTable; !IsEndRecord(*r); ++r) RecordMatches(*r, fd, length, entryPoint);
    if (size >= 8) {
      VariantRecord extra = {};
      std::memcpy(&extra.offset1, data, 4);
      std::memcpy(&extra.offset2, data + 4, 4);
      extra.sizeMode = SIZE_ANY;
      RecordMatches(extra, fd, length, entryPoint);
      RvaToFileOffset(static_cast<uint32_t>(extra.offset1), fd);
    }
  }
  _close(fd);
  return 0;
}
