// The one place that builds every process-wide table, in the order the
// tables depend on each other. Both programs and the tests call it first.
#pragma once

struct Variant;

// Selects the variant and builds hash keys, evaluation masks, distance and
// attack tables, the killer table and the transposition table. Safe to call
// more than once (tests switch variants); tables are rebuilt identically.
void initialiseEngine(const Variant& variant);
