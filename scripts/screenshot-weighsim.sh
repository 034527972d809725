#!/usr/bin/env bash
# Takes docs/img/weighsim-dialog.png: the electronic scale's weighing window
# "Весы" under Wine on a Xvfb display, as screenshot-cardsim.sh takes the card
# terminal's (same tool, same build tree rules).
#   scripts/screenshot-weighsim.sh [BUILD_DIR]
SHOT_DEVICE=weighsim exec bash "$(dirname "$0")/screenshot-cardsim.sh" "$@"
