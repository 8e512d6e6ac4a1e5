#include "engine/RebuiltFile.h"

const char kRebuiltKey[] = "rebuilt";
const char kPartialKey[] = "partial";

const char kRebuiltContiguous[] = "contiguous";
const char kRebuiltChain[] = "chain";
const char kRebuiltFreeRun[] = "free-run";
const char kRebuiltFreeSkippingUsed[] = "free-skipping-used";
const char kRebuiltReassembled[] = "reassembled";

std::string rebuiltOf(const FileModule::File& file) {
  std::string way = file.attributes.getString(kRebuiltKey);
  return way.empty() ? plainRebuiltOf(file) : way;
}

std::string plainRebuiltOf(const FileModule::File& file) {
  if (file.attributes.getInt32("fs", -1) == -1) return kRebuiltContiguous;
  return file.attributes.getBool("deleted", false) ? kRebuiltFreeRun : kRebuiltChain;
}

bool isPartial(const FileModule::File& file) { return file.attributes.getBool(kPartialKey, false); }
