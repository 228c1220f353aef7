#!/usr/bin/env bash
# po/main.pot holds exactly the texts of the sources, and every po/<lang>.po translates all of
# them. (The build's msgfmt --check already refuses a translation that breaks a "%s" or a '&'.)
# Usage: catalogues.sh SOURCE_DIR XGETTEXT_OPTION...
set -euo pipefail
cd "$1"
shift
fresh=$(mktemp)
trap 'rm -f "$fresh"' EXIT
xgettext "$@" --output="$fresh" $(find src -name '*.cpp' -o -name '*.h' | LC_ALL=C sort)
msgcmp --use-untranslated po/main.pot "$fresh" && msgcmp --use-untranslated "$fresh" po/main.pot ||
    { echo "po/main.pot is not the sources' texts: build the update-translations target" >&2; exit 1; }
for catalogue in po/*.po; do msgcmp "$catalogue" po/main.pot; done
echo "catalogues: po/main.pot matches the sources; $(ls po/*.po | wc -l) languages complete"
