// Message catalogue lookups (domain "mzk").
#pragma once

#include <libintl.h>

#ifndef _
#define _(text) gettext(text)
#endif
#ifndef N_
#define N_(text) (text)
#endif
