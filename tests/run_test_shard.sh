#!/usr/bin/env bash
# Runs one shard of a Qt Test program: every n-th of its test rows (a function with one of its
# data tags, or a function without data), so that one long test file runs as several tests
# side by side. Each shard is a process of its own, with its own initTestCase.
# usage: run_test_shard.sh <shard, from 1> <shards> <program>
set -euo pipefail
shard=$1
shards=$2
program=$3
# -datatags lists "<class> <function> [<data tag>]", a line each, in the order they run.
mapfile -t rows < <("$program" -datatags | awk -v i="$shard" -v n="$shards" '
    (NR - 1) % n == i - 1 {
        function_name = $2
        tag = $0
        sub(/^[^ ]+ [^ ]+ ?/, "", tag)
        print (tag == "" ? function_name : function_name ":" tag)
    }')
[ ${#rows[@]} -gt 0 ] || exit 0
exec "$program" "${rows[@]}"
