#!/usr/bin/env bash
# Usage: bench/cpu_at_rest.sh PROGRAM [ARGS...] (docs/performance.md).
# CPU of kv350tools at rest: ticks used from 3 s to 13 s after start.
"$@" >/dev/null 2>&1 &
pid=$!
sleep 3
t0=$(awk '{print $14+$15}' /proc/$pid/stat)
sleep 10
t1=$(awk '{print $14+$15}' /proc/$pid/stat)
kill $pid; wait $pid 2>/dev/null
echo "ticks in 10 s: $((t1-t0)) (1 tick = $((1000/$(getconf CLK_TCK))) ms)"
