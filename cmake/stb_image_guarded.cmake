# Writes STB_IMAGE_OUT: a copy of Debian's stb_image.h (STB_IMAGE_IN) with guards where its
# JPEG decoder meets undefined behaviour on damaged streams. Included by
# player/core/CMakeLists.txt; the fuzz scripts run it with `cmake -P`. Each guard must find
# its line, so a changed stb_image stops the build here rather than losing a guard.
file(READ "${STB_IMAGE_IN}" text)
macro(guard old new why)
  string(FIND "${text}" "${old}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${STB_IMAGE_IN}: no '${old}'; check whether this stb_image still ${why}")
  endif()
  string(REPLACE "${old}" "${new}" text "${text}")
endmacro()

# Once a damaged scan runs out of data the bit reader feeds zeros, but a block decoded just
# before can take more bits than were left, driving the count to -8 or below; the next
# refill would then shift (a zero) by 32 or more. Skipping the shift there adds nothing.
guard("j->code_buffer |= b << (24 - j->code_bits);"
      "if (j->code_bits > -8) j->code_buffer |= b << (24 - j->code_bits);"
      "shifts past 31 bits when a scan runs out")
# A DC coefficient is the sum of every earlier block's difference; damaged differences can
# grow it until it, or it times the quantiser, overflows an int. An 8-bit stream's DC never
# leaves the 16 bits the decoder stores, so a scan leaving them is refused.
guard("dc = j->img_comp[b].dc_pred + diff;"
      "dc = j->img_comp[b].dc_pred + diff; if (dc < -32768 || dc > 32767) return stbi__err(\"bad delta\",\"Corrupt JPEG\");"
      "lets DC coefficients overflow")

# Rewritten only when it changes, so a new configure does not rebuild the bitmap decoder.
set(written "")
if(EXISTS "${STB_IMAGE_OUT}")
  file(READ "${STB_IMAGE_OUT}" written)
endif()
if(NOT "${written}" STREQUAL "${text}")
  file(WRITE "${STB_IMAGE_OUT}" "${text}")
endif()
