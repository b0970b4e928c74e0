#pragma once

// Examines one text file for the worm marker and disposes of it on a match.
// Returns 1 when the file matched, else 0.
int CheckMarkerFile(const char* detectionName, const char* path);
