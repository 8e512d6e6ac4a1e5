// The release feed: an XML item list whose release entry carries an
// <enclosure version="..." url="..." length="..." releaseNotesUrl="...">.
#pragma once

#include <string>

#include "update/UpdateInfo.h"

// Reads the attributes of the first "<enclosure" in this order, each looked
// for after the end of the one before, so they must appear in that order.
// The search is plain text: no XML parsing and no entity decoding, and an
// attribute whose name ends with one of ours matches as well.  On failure
// out is left as it was and the reason is logged.
bool parseFeed(const std::string& text, UpdateInfo& out);
