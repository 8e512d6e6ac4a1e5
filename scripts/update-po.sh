#!/bin/sh
# Extracts the user-visible texts of the sources into po/mzk.pot (domain
# "mzk") and merges the template into every po/<language>.po.  New texts
# arrive untranslated (or fuzzy); translate them before committing.
#   scripts/update-po.sh            (from anywhere in the tree)
set -eu
cd "$(dirname "$0")/.."

sources=$(find shell ui media engine fat recover thumbs update cli device \
  -name '*.cpp' -o -name '*.h' 2>/dev/null | LC_ALL=C sort)

xgettext --from-code=UTF-8 --language=C++ --default-domain=mzk \
  --keyword=_ --keyword=N_ --keyword=ngettext:1,2 \
  --add-comments=TRANSLATORS: --sort-by-file --add-location=file \
  --package-name=mzk --package-version=1.0.0 \
  --msgid-bugs-address=mzk@localhost \
  --copyright-holder="the mzk developers" \
  -o po/mzk.pot.new $sources

# Keep the old template when only the creation date changed.
if [ -f po/mzk.pot ] &&
   diff -q -I '^"POT-Creation-Date:' po/mzk.pot po/mzk.pot.new >/dev/null; then
  rm po/mzk.pot.new
else
  mv po/mzk.pot.new po/mzk.pot
fi

for po in po/*.po; do
  [ -f "$po" ] || continue
  msgmerge --quiet --update --backup=none --no-fuzzy-matching --sort-by-file --add-location=file "$po" po/mzk.pot
  # One layout for merged and hand-edited entries alike.
  msgcat --sort-by-file --add-location=file -o "$po" "$po"
  printf '%s: ' "$po"
  msgfmt --check --statistics -o /dev/null "$po"
done
