#!/usr/bin/env bash
# The short fuzz runs of `make test`: a few seconds per target.
build=$1
exec bash "$(dirname "$0")/run.sh" "${build}-fuzz" "${QUARRYTIDE_FUZZ_SECONDS:-5}"
