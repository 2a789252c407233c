#pragma once
// How the effects whose scratch is sized for one block take a call of any
// length: in pieces of at most the prepared block.

#include <algorithm>
#include <cstdint>

// Calls piece(source + done, destination + done, n) for consecutive pieces of
// n <= pieceFrames samples covering `count`; nothing at all while pieceFrames
// is 0 (the effect is not prepared).
template <typename Piece>
void RunInPieces(const int16_t* source, int16_t* destination, int32_t count, int32_t pieceFrames,
                 Piece&& piece) {
  for (int32_t done = 0; pieceFrames > 0 && done < count; done += pieceFrames) {
    piece(source + done, destination + done, std::min(pieceFrames, count - done));
  }
}
