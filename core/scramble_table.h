// The framework's fixed 256-character table for its seeded random numbers.
// This file must stay byte for byte equal to the game's copy of the table: it is
// shared by the game's core and the score server, and includes nothing else.
#pragma once

// 256 characters with codes 48..112 except 63 ('?', left out so that no "??"
// pair appears in the text): 64 distinct codes, each four times. Made by laying
// the codes out in ascending order, four of each, and shuffling them with a
// Fisher-Yates pass from the last index down to 1, where index i swaps with
// x % (i + 1) and x is the next value of a 32-bit xorshift (x ^= x << 13;
// x ^= x >> 17; x ^= x << 5) started at 556.
constexpr char jRand_Txt[257] =
    "COh>jEAIGO04Seio^ibNAJL78IZNg15T"
    "J0Sp^VhAID\\2UfVlA8K8H\\:O57M\\5RQ2"
    "1f_\\[49ka>lYce=bHCJ`7c4<7@CX2[Kn"
    "]m_h;<d`2iWM_k]RJ;UNMWoG0E]:ElMa"
    "e9H3^PP=m<n<`0UEKSRYc3>LV`]D=eXX"
    "fW>Q1^d;DVPGlpQ4ajcKW3Bn1mLnFFXj"
    "L@QjH;Z[B6gTbPT9pNmo:ah_bYFfOo5d"
    "i8k@BZ9IUD66F=T[SRYZkBp6Cg@3:gGd";
