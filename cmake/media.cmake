# SPDX-License-Identifier: MIT
# The game's media, written once for the engine, every front end, the
# generator and the tests: the picture each of the window's holders holds,
# Image1 to Image9 in order ("-": Image7, the banner display, holds none of
# its own), and the built-in sounds, each by id and name. The files are in
# assets/ (made by tools/mkmedia): NAME.bmp, ID.wav.
set(TARVO_HOLDER_PICTURES sprites kill ready bung win1p win2p - fall1p fall2p)
set(TARVO_SOUNDS
  101 HeadBlownOff 102 BodyHit 103 BodyHitRare 104 FaceHit 105 ElectricBurst 106 ThrownBack
  107 SadTrombone 108 SlideWhistle 109 Buzzer)

set(TARVO_ASSETS ${PROJECT_SOURCE_DIR}/assets)
set(TARVO_PICTURE_FILES "")
set(holders "")
set(rc "")
set(n 0)
foreach(name IN LISTS TARVO_HOLDER_PICTURES)
  math(EXPR n "${n} + 1")
  if(name STREQUAL "-")
    string(APPEND holders "    nullptr,\n")
  else()
    list(APPEND TARVO_PICTURE_FILES ${TARVO_ASSETS}/${name}.bmp)
    string(APPEND holders "    \"${name}\",\n")
    math(EXPR id "200 + ${n}")
    string(APPEND rc "${id} BITMAP \"${name}.bmp\"\n")
  endif()
endforeach()
set(TARVO_SOUND_FILES "")
set(sounds "")
set(named "")
list(LENGTH TARVO_SOUNDS n)
math(EXPR last "${n} - 1")
foreach(i RANGE 0 ${last} 2)
  math(EXPR j "${i} + 1")
  list(GET TARVO_SOUNDS ${i} id)
  list(GET TARVO_SOUNDS ${j} name)
  list(APPEND TARVO_SOUND_FILES ${TARVO_ASSETS}/${id}.wav)
  string(APPEND sounds " kSound${name},")
  string(APPEND named "    kSound${name} = ${id},\n")
  string(APPEND rc "${id} SOUND \"${id}.wav\"\n")
endforeach()
set(TARVO_MEDIA_FILES ${TARVO_PICTURE_FILES} ${TARVO_SOUND_FILES})

# For the C++ of every front end: window/media_table.h.
set(TARVO_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)
file(CONFIGURE OUTPUT ${TARVO_GENERATED_DIR}/window/media_table.h CONTENT
"// Made by cmake/media.cmake from its lists; not to be edited.
#pragma once

namespace tarvo {

// The picture each holder holds for the window's life, by Holder (Image1
// first): assets/NAME.bmp, or none. In the Windows program it is the bitmap
// resource 200 + the holder's number.
inline constexpr const char *kHolderPictures[9] = {
@holders@};
inline constexpr int kPictureResourceBase = 200;

} // namespace tarvo
" @ONLY)
# For the engine, which plays the sounds by these names, and for everything
# that goes through all of them: sound/sound_ids.h.
file(CONFIGURE OUTPUT ${TARVO_GENERATED_DIR}/sound/sound_ids.h CONTENT
"// Made by cmake/media.cmake from its lists; not to be edited.
#pragma once

#include <cstdint>

namespace tarvo {

// The built-in sounds: assets/ID.wav, in the Windows program the resource ID
// of type \"SOUND\".
enum SoundId : std::int16_t {
@named@};
inline constexpr SoundId kSoundIds[] = {@sounds@ };

} // namespace tarvo
" @ONLY)
# For the Windows resource script.
file(CONFIGURE OUTPUT ${TARVO_GENERATED_DIR}/window/media.rc CONTENT
"// Made by cmake/media.cmake from its lists; not to be edited.
@rc@" @ONLY)
