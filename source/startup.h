// The one place that builds every process-wide table, in the order the
// tables depend on each other. Both programs and the tests call it first.
#pragma once

struct Variant;

// Selects the variant and builds hash keys, evaluation masks, distance and
// attack tables and the transposition table. (What a search learns, its
// killers and pawn cache, belongs to each search thread.) Safe to call
// more than once (tests switch variants); tables are rebuilt identically.
void initialiseEngine(const Variant& variant);
