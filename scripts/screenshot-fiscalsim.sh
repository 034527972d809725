#!/usr/bin/env bash
# Takes docs/img/fiscalsim-tape.png: the fiscal register's tape window
# "Фискальный регистратор" with a cash sale and its QR code, under Wine on a
# Xvfb display, as screenshot-receiptsim.sh takes the receipt printer's paper
# (same tool, same build tree rules). The register keeps its journal in the
# build tree's Wine prefix; a shift an earlier run left open is closed first.
#   scripts/screenshot-fiscalsim.sh [BUILD_DIR]
SHOT_DEVICE=fiscalsim exec bash "$(dirname "$0")/screenshot-receiptsim.sh" "$@"
