// How a found file's bytes were put together, and whether it is whole.
//
// "rebuilt" (text) names the way: "contiguous" (one run from its first
// byte, as a file found by its signature), "chain" (its allocation chain),
// "free-run" (a deleted file read along the free clusters after its first
// one), "free-skipping-used" (a deleted file read along the free clusters,
// passing over those in use), "reassembled" (pieces found by searching and
// proven by the file's format).  "partial" (bool) marks a file that could
// not be proven whole: it is listed, but written only on request.  Neither
// is part of the file case's key.
#pragma once

#include <string>

#include "engine/FileModule.h"

extern const char kRebuiltKey[];
extern const char kPartialKey[];

extern const char kRebuiltContiguous[];
extern const char kRebuiltChain[];
extern const char kRebuiltFreeRun[];
extern const char kRebuiltFreeSkippingUsed[];
extern const char kRebuiltReassembled[];

// The way the file was rebuilt: its "rebuilt" attribute, else the plain
// way of its origin.
std::string rebuiltOf(const FileModule::File& file);
// How a file of its origin is read when nothing more is known: "contiguous"
// for a file found by its signature, "free-run" for a deleted file of a
// file system and "chain" for a live one.
std::string plainRebuiltOf(const FileModule::File& file);
bool isPartial(const FileModule::File& file);
