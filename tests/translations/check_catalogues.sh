#!/usr/bin/env bash
# The program's catalogues as the build compiles them: po/main.pot holds exactly the texts of the
# sources, every po/<lang>.po translates all of them, and the build's msgfmt options reject a
# translation whose "%s" is missing or doubled, or whose menu text lost its '&', in every entry
# where that matters (so no "%s" text may lack its c-format mark).
# Usage: check_catalogues.sh SOURCE_DIR MSGFMT_OPTION... -- XGETTEXT_OPTION...
set -euo pipefail
source_dir=$1
shift
msgfmt_options=()
while (($#)) && [ "$1" != -- ]; do
    msgfmt_options+=("$1")
    shift
done
shift
xgettext_options=("$@")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() {
    echo "FAIL: $*" >&2
    failed=1
}

cd "$source_dir"
mapfile -t sources < <(find src -name '*.cpp' | LC_ALL=C sort)
xgettext "${xgettext_options[@]}" --output="$work/fresh.pot" "${sources[@]}"
msgcmp --use-untranslated po/main.pot "$work/fresh.pot" &&
    msgcmp --use-untranslated "$work/fresh.pot" po/main.pot ||
    fail "po/main.pot is not the sources' texts: run the update-translations target"

# count FILE: the number of messages in a catalogue, its header aside.
count() { msgfmt --statistics -o /dev/null "$1" 2>&1 | grep -o '^[0-9]*'; }
# errors CATALOGUE PATTERN: how many entries the build's msgfmt rejects with that complaint.
errors() {
    msgfmt "${msgfmt_options[@]}" -o /dev/null "$1" 2>"$work/errors" || true
    grep -c -- "$2" "$work/errors" || true
}

languages=0
for catalogue in po/*.po; do
    language=$(basename "$catalogue" .po)
    languages=$((languages + 1))
    msgcmp "$catalogue" po/main.pot || fail "$catalogue does not translate every text"
    msgfmt "${msgfmt_options[@]}" -o /dev/null "$catalogue" || fail "$catalogue does not compile"

    formats=$(msggrep --msgid -F -e '%s' "$catalogue" | count /dev/stdin)
    ((formats > 0)) || fail "$catalogue has no \"%s\" texts"
    for edit in 's/%s//' 's/%s/%s %s/'; do
        msgfilter --keep-header -i "$catalogue" -o "$work/$language.po" sed -e "$edit"
        rejected=$(errors "$work/$language.po" "in 'msgid' and 'msgstr' does not match")
        ((rejected == formats)) ||
            fail "$catalogue with sed '$edit': $rejected of $formats \"%s\" texts rejected"
    done

    mnemonics=$(msggrep --msgid -F -e '&' "$catalogue" | count /dev/stdin)
    ((mnemonics > 0)) || fail "$catalogue has no menu texts with '&'"
    msgfilter --keep-header -i "$catalogue" -o "$work/$language.po" sed -e 's/&//'
    rejected=$(errors "$work/$language.po" "lacks the keyboard accelerator")
    ((rejected == mnemonics)) ||
        fail "$catalogue without '&': $rejected of $mnemonics menu texts rejected"
    echo "$catalogue: $formats formats and $mnemonics menu keys checked by msgfmt"
done
((languages >= 2)) || fail "only $languages catalogues in po/"
exit $failed
