// The command pairs that select a handler, and the status word that opens every reply payload.
#pragma once

#include <cstdint>

namespace varo {

inline constexpr std::uint16_t CmdArchive = 510;
inline constexpr std::uint16_t CmdTotocalcio = 520;
inline constexpr std::uint16_t CmdTotogol = 530;

inline constexpr std::uint8_t SubLista = 1;
inline constexpr std::uint8_t SubCancellazione = 2;
inline constexpr std::uint8_t SubInfoTotocalcio = 1;
inline constexpr std::uint8_t SubBigliettoTotocalcio = 2;
inline constexpr std::uint8_t SubInfoTotogol = 3;
inline constexpr std::uint8_t SubBigliettoTotogol = 4;

inline constexpr std::uint16_t StatusOk = 1;
inline constexpr std::uint16_t StatusNotFound = 870;

}  // namespace varo
