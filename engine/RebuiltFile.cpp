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
  if (!way.empty()) return way;
  return file.attributes.getInt32("fs", -1) == -1 ? kRebuiltContiguous : kRebuiltChain;
}

bool isPartial(const FileModule::File& file) { return file.attributes.getBool(kPartialKey, false); }
