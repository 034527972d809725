#!/usr/bin/env bash
# Takes docs/img/labelsim-window.png: the label printer's window "Принтер
# этикеток" with the demonstration's labels (devices/labelsim/demo/labels.xml),
# under Wine on a Xvfb display, as screenshot-receiptsim.sh takes the receipt
# printer's paper (same tool, same build tree rules).
#   scripts/screenshot-labelsim.sh [BUILD_DIR]
SHOT_DEVICE=labelsim exec bash "$(dirname "$0")/screenshot-receiptsim.sh" "$@"
