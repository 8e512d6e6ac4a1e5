#include "engine/modules/FileModuleTiffCamera.h"

#include <strings.h>

#include <cstring>

namespace {

struct ModelRow {
  const char* model;
  bool exact;
  const char* type;
};

struct MakeRow {
  const char* make;
  const ModelRow* models;  // ends with a null model
  const char* otherwise;
};

const ModelRow kEastmanKodak[] = {{"KODAK DC20 DIGITAL CAMERA", false, "k25"},
                                  {"KODAK DC25 DIGITAL CAMERA", false, "k25"},
                                  {"Digital Camera 40", false, "kdc"},
                                  {"Kodak Digital Science DC50 Zoom Camera", false, "kdc"},
                                  {"Kodak DC120 ZOOM Digital Camera", false, "kdc"},
                                  {nullptr, false, nullptr}};
// Kodak's professional bodies that write plain TIFF.
const ModelRow kKodak[] = {{"DCS315C", false, "tif"},  {"DCS330C", false, "tif"}, {"DCS420", false, "tif"},
                           {"DCS460A", false, "tif"},  {"DCS460", false, "tif"},  {"DCS520C", false, "tif"},
                           {"DCS560C", false, "tif"},  {"DCS620C", false, "tif"}, {"DCS620X", false, "tif"},
                           {"DCS660C", false, "tif"},  {"DCS660M", false, "tif"}, {"EOSDCS1", false, "tif"},
                           {"EOSDCS3B", false, "tif"}, {"NC2000F", false, "tif"}, {nullptr, false, nullptr}};
const ModelRow kCanon[] = {{"Canon EOS-1D", true, "tif"},
                           {"Canon EOS-1DS", true, "tif"},
                           {"EOS D2000C", false, "tif"},
                           {nullptr, false, nullptr}};
const ModelRow kSony[] = {{"DSC-R1", true, "sr2"}, {"DSLR", false, "arw"}, {nullptr, false, nullptr}};
const ModelRow kNone[] = {{nullptr, false, nullptr}};

const MakeRow kMakes[] = {
    {"Eastman Kodak Company", kEastmanKodak, "dcr"},
    {"Kodak", kKodak, "dcr"},
    {"Canon", kCanon, "cr2"},
    {"NIKON", kNone, "nef"},
    {"PENTAX", kNone, "pef"},
    {"SONY", kSony, "srf"},
    {"Leica", kNone, "dng"},
    {"Leaf", kNone, "mos"},
    {"RICOH", kNone, "dng"},
    {"SAMSUNG", kNone, "dng"},
    {"Phase One A/S", kNone, "tif"},
};

bool startsWithNoCase(const std::string& text, const char* prefix) {
  size_t n = strlen(prefix);
  return text.size() >= n && strncasecmp(text.c_str(), prefix, n) == 0;
}

}  // namespace

const char* cameraRawType(const std::string& make, const std::string& model) {
  for (const MakeRow& row : kMakes) {
    if (!startsWithNoCase(make, row.make)) continue;
    for (const ModelRow* m = row.models; m->model; ++m)
      if (m->exact ? model == m->model : startsWithNoCase(model, m->model)) return m->type;
    return row.otherwise;
  }
  return nullptr;
}
