/* The program's version: the one place it is written. The version resource
   (res/quellor.rc) takes its numbers and text from here, scripts/release.sh
   names the release after QUELLOR_VERSION_TEXT (it expands this file with the
   preprocessor), and common/ProgramTexts.h checks that the title names it.
   Plain defines: the resource compiler includes this file too. */
#ifndef QUELLOR_COMMON_VERSION_H
#define QUELLOR_COMMON_VERSION_H

#define QUELLOR_VERSION_MAJOR 1
#define QUELLOR_VERSION_MINOR 0
#define QUELLOR_VERSION_PATCH 0

#define QUELLOR_VERSION_STRING_(n) #n
#define QUELLOR_VERSION_STRING(n) QUELLOR_VERSION_STRING_(n)
/* "1.0", or "1.0.1" once there is a patch number. */
#if QUELLOR_VERSION_PATCH
#define QUELLOR_VERSION_TEXT                    \
  QUELLOR_VERSION_STRING(QUELLOR_VERSION_MAJOR) \
  "." QUELLOR_VERSION_STRING(QUELLOR_VERSION_MINOR) "." QUELLOR_VERSION_STRING(QUELLOR_VERSION_PATCH)
#else
#define QUELLOR_VERSION_TEXT \
  QUELLOR_VERSION_STRING(QUELLOR_VERSION_MAJOR) "." QUELLOR_VERSION_STRING(QUELLOR_VERSION_MINOR)
#endif

#endif
