#!/usr/bin/env bash
# help_pdf_test.sh PDF MIN_PAGES: the file is a PDF with at least MIN_PAGES pages.
set -u
pdf=$1 min=$2
[ "$(head -c 5 "$pdf")" = "%PDF-" ] || { echo "FAILED: $pdf is not a PDF"; exit 1; }
pages=$(grep -a -o '/Type /Page\b' "$pdf" | wc -l)
echo "$pdf: $pages pages"
[ "$pages" -ge "$min" ] || { echo "FAILED: fewer than $min pages"; exit 1; }
