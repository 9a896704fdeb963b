# make deb: the Debian package, its library dependencies found by dpkg-shlibdeps; the SoundFont
# the synthesizer needs, and the LV2 plugins the voice's presets use, by name.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME linlangok)
set(CPACK_PACKAGE_VENDOR Lyrabooth)
set(CPACK_PACKAGE_CONTACT "Lyrabooth <maintainers@lyrabooth.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "karaoke player and recorder with scoring and KTV voice effects")
set(CPACK_PACKAGE_DESCRIPTION "Linlang Karaoke (琳朗卡拉OK) plays karaoke accompaniments with their
lyrics in time: MIDI and KAR files through its own sequencer and synthesizer,
WAV and MP3 files, KTV videos with their original vocal and backing, MP3+G and
UltraStar songs. It records the singer, scores the singing against the melody,
puts reverb and echo on the voice, plays the microphone back at once, finds
songs by the initials of their pinyin and lets guests pick songs from their
phones.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://lyrabooth.org/linlangok/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "timgm6mb-soundfont | sf2-soundfont-gm")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "dragonfly-reverb-lv2, mda-lv2")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
