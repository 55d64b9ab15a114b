# recover: VR_MANGR.IFO and .BUP rebuilt from VR_MOVIE.VRO alone. The stream
# is the samples joined end to end (each join a clock jump, the middle one
# also another aspect ratio and audio coding); each recording must extract
# as the sample it was, and the stream must stay as it is.
include(${CMAKE_CURRENT_LIST_DIR}/common.cmake)

# stream(DIR FILES...): DIR/VR_MOVIE.VRO, the files joined.
function(stream dir)
  file(MAKE_DIRECTORY ${WORK}/${dir})
  execute_process(COMMAND ${CMAKE_COMMAND} -E cat ${ARGN} OUTPUT_FILE ${WORK}/${dir}/VR_MOVIE.VRO RESULT_VARIABLE rc)
  expect("could not join ${ARGN}" rc EQUAL 0)
endfunction()

# extracts_as(DIR PROGRAM SAMPLE): program PROGRAM of DIR is SAMPLE's bytes.
function(extracts_as dir program sample)
  run(0 extract ${dir} --program ${program} -o ${dir}-p${program}.mpg)
  file(SHA256 ${WORK}/${dir}-p${program}.mpg got)
  file(SHA256 ${sample} want)
  expect("program ${program} of ${dir} is not ${sample}" got STREQUAL want)
endfunction()

stream(three ${PAL} ${PAL_LPCM} ${PAL})
file(SHA256 ${WORK}/three/VR_MOVIE.VRO before)
unchanged(0 three recover three --dry-run)
string(REGEX MATCHALL "recording [0-9]: bytes [0-9]+\\.\\.[0-9]+" found "${out}")
string(JOIN ", " found ${found})
expect("--dry-run found other recordings:\n${out}" found STREQUAL
       "recording 1: bytes 0..305152, recording 2: bytes 305152..944128, recording 3: bytes 944128..1249280")
must_match("${out}" "recording 2: [^\n]*16:9[^\n]*LPCM[^\n]*system clock jumps back")
run(0 recover three)
file(SHA256 ${WORK}/three/VR_MOVIE.VRO after)
expect("recover changed the stream file" before STREQUAL after)
run(0 info three)
must_match("${out}" "Original chain: 3 programs")
must_match("${out}" "Program 3: [^\n]*title \"Recovered recording 3\"")
extracts_as(three 1 ${PAL})
extracts_as(three 2 ${PAL_LPCM})
extracts_as(three 3 ${PAL})
run(0 check three)
must_match("${out}" "no problems found")

# A recovery killed before it renamed its management files leaves only its
# scratch file: check and repair name it (and change nothing), recover
# rebuilds the disc and removes it.
stream(killed ${PAL})
file(WRITE ${WORK}/killed/VR_MANGR.IFO.tmp-Ab12Cd "half a management file")
foreach(command check repair)
  unchanged(1 killed ${command} killed)
  one_sentence_error("${err}" "VR_MANGR.IFO.tmp-Ab12Cd is a leftover of an interrupted save; 'vrmangr recover killed'")
endforeach()
run(0 recover killed)
expect("recover left its scratch file behind" NOT EXISTS ${WORK}/killed/VR_MANGR.IFO.tmp-Ab12Cd)
run(0 check killed)
# A management file that loads is never replaced.
unchanged(1 three recover three)
one_sentence_error("${err}" "holds a management file that loads")

# Garbage over the middle of the LPCM recording: the recordings around it
# come back whole, the damage is reported with its bytes.
stream(damaged ${PAL} ${PAL_LPCM} ${PAL})
string(REPEAT "a5" 20000 garbage)
damage(damaged/VR_MOVIE.VRO 553060 ${garbage})
run(0 recover damaged)
must_match("${out}" "damaged: bytes [0-9]+\\.\\.[0-9]+ \\([0-9]+ bytes\\), skipped: sector [0-9]+ does not parse")
extracts_as(damaged 1 ${PAL})
run(0 info damaged)
string(REGEX MATCH "Original chain: ([0-9]+) programs" m "${out}")
extracts_as(damaged ${CMAKE_MATCH_1} ${PAL})

# A stream without a recording and a directory without a stream: refused,
# nothing written.
file(MAKE_DIRECTORY ${WORK}/noise)
file(WRITE ${WORK}/noise/VR_MOVIE.VRO "")
string(REPEAT "5a" 8192 noise)
damage(noise/VR_MOVIE.VRO 0 ${noise})
unchanged(1 noise recover noise)
one_sentence_error("${err}" "no recording was found")
file(MAKE_DIRECTORY ${WORK}/empty)
unchanged(1 empty recover empty)
one_sentence_error("${err}" "holds no VR_MOVIE.VRO")

# Still pictures: VR_STILL.VRO is scanned too, where it lies. A disc with a
# recording and the still sample added twice (two groups of the same
# attributes, which come back as one) loses both management files.
run(0 create stills ${PAL} --still ${STILL})
run(0 add-still stills ${STILL})
run(0 extract stills --program 2 -o stills-first.mpg)
run(0 extract stills --program 3 -o stills-second.mpg)
file(SHA256 ${WORK}/stills/VR_MOVIE.VRO movie_before)
file(SHA256 ${WORK}/stills/VR_STILL.VRO still_before)
file(REMOVE ${WORK}/stills/VR_MANGR.IFO ${WORK}/stills/VR_MANGR.BUP)
unchanged(0 stills recover stills --dry-run)
must_match("${out}" "recording 1: bytes 0..305152 ")
must_match("${out}" "still pictures 1: bytes 0..139264 of VR_STILL.VRO \\(68 sectors\\), 4 pictures, MPEG-2 720x576 4:3")
run(0 recover stills)
must_match("${out}" "recovered 1 recording of VR_MOVIE.VRO [^\n]* and 1 still group of VR_STILL.VRO ")
file(SHA256 ${WORK}/stills/VR_MOVIE.VRO movie_after)
file(SHA256 ${WORK}/stills/VR_STILL.VRO still_after)
expect("recover changed the stream files" movie_before STREQUAL movie_after AND still_before STREQUAL still_after)
run(0 info stills)
must_match("${out}" "Program 2: still[^\n]*title \"Recovered still pictures 1\"[^\n]*\n  Cell 2: still VOG 1[^\n]*\\(4 pictures\\)")
run(0 extract stills --program 2 -o stills-after.mpg)
execute_process(COMMAND ${CMAKE_COMMAND} -E cat ${WORK}/stills-first.mpg ${WORK}/stills-second.mpg
  OUTPUT_FILE ${WORK}/stills-both.mpg)
file(SHA256 ${WORK}/stills-after.mpg got)
file(SHA256 ${WORK}/stills-both.mpg want)
expect("the recovered still pictures are not those added" got STREQUAL want)
run(0 check stills)
must_match("${out}" "no problems found")

# Garbage over the second picture, beside a VR_MOVIE.VRO without a
# recording: the pictures on either side come back as two groups, the damage
# is reported, and the movie stream stays as it was.
file(MAKE_DIRECTORY ${WORK}/stills-only)
file(COPY ${WORK}/stills/VR_STILL.VRO ${WORK}/noise/VR_MOVIE.VRO DESTINATION ${WORK}/stills-only)
damage(stills-only/VR_STILL.VRO 61440 a5a5a5a5)
run(0 recover stills-only)
file(SHA256 ${WORK}/stills-only/VR_MOVIE.VRO got)
file(SHA256 ${WORK}/noise/VR_MOVIE.VRO want)
expect("recover changed a movie stream without recordings" got STREQUAL want)
must_match("${out}" "recovered 2 still groups of VR_STILL.VRO ")
must_match("${out}" "damaged in VR_STILL.VRO: bytes 57344..69632 \\(12288 bytes\\), skipped: sector 30 does not parse")
run(0 info stills-only)
must_match("${out}" "Original chain: 2 programs")
must_match("${out}" "Cell 1: still VOG 1[^\n]*\\(1 picture\\)")
run(0 extract stills-only --program 2 -o stills-only-p2.mpg)
file(SHA256 ${WORK}/stills-only-p2.mpg got)
file(SHA256 ${WORK}/stills-second.mpg want)
expect("the group behind the damage is not the second still file" got STREQUAL want)

# Nothing in VR_STILL.VRO parses: a warning, and the file is kept as it is
# beside the recovered recording; without one, nothing is written.
stream(still-noise ${PAL})
file(WRITE ${WORK}/still-noise/VR_STILL.VRO "")
damage(still-noise/VR_STILL.VRO 0 ${noise})
run(0 recover still-noise)
must_match("${err}" "warning: no still picture was found in still-noise/VR_STILL.VRO")
file(SHA256 ${WORK}/still-noise/VR_STILL.VRO got)
file(SHA256 ${WORK}/noise/VR_MOVIE.VRO want)
expect("recover changed a still file without pictures" got STREQUAL want)
file(REMOVE ${WORK}/still-noise/VR_MANGR.IFO ${WORK}/still-noise/VR_MANGR.BUP ${WORK}/still-noise/VR_MOVIE.VRO)
unchanged(1 still-noise recover still-noise)
one_sentence_error("${err}" "no still picture was found")

# 256 pictures of one kind: a group holds at most 255.
file(MAKE_DIRECTORY ${WORK}/many)
set(copies)
foreach(i RANGE 1 64)
  list(APPEND copies ${WORK}/stills/VR_STILL.VRO)
endforeach()
execute_process(COMMAND ${CMAKE_COMMAND} -E cat ${copies} OUTPUT_FILE ${WORK}/many/VR_STILL.VRO)
unchanged(0 many recover many --dry-run)
must_match("${out}" "still pictures 1: [^\n]*, 255 pictures, [^\n]*end: a group holds at most 255 pictures")
must_match("${out}" "still pictures 2: [^\n]*, 1 picture, [^\n]*end: the end of the stream")

# ---- Recordings the tables do not describe ----
# A recording appended by hand: check names it, repair keeps it (--dry-run
# and the repair itself change nothing), adopt registers it where it lies
# without writing the stream, and it extracts as its source.
run(0 create appended ${PAL})
execute_process(COMMAND sh -c "cat '${PAL_LPCM}' >> appended/VR_MOVIE.VRO" WORKING_DIRECTORY ${WORK})
unchanged(0 appended check appended)
must_match("${out}" "a recording of 0:00:02.000 at bytes 305152..944128 that the tables do not describe: 'vrmangr adopt appended' registers it")
unchanged(0 appended repair appended --dry-run)
unchanged(0 appended repair appended)
must_match("${out}" "1 recording behind the last recording of VR_MOVIE.VRO that the tables do not describe is kept")
unchanged(0 appended adopt appended --dry-run)
must_match("${out}" "a recording of 0:00:02.000 at bytes 305152..944128 of VR_MOVIE.VRO would become program 2")
file(SHA256 ${WORK}/appended/VR_MOVIE.VRO before)
run(0 adopt appended)
file(SHA256 ${WORK}/appended/VR_MOVIE.VRO after)
expect("adopt wrote the stream file" before STREQUAL after)
must_match("${out}" "is program 2, \"Recovered recording 2\"")
extracts_as(appended 2 ${PAL_LPCM})
run(0 check appended)
must_match("${out}" "no problems found")
run(0 add appended ${PAL})

# A stream of a PAL and an NTSC recording: recover takes the PAL one; the
# NTSC one stays (repair keeps it, adopt cannot register it on a 625/50
# disc and says so) and --undescribed writes it out as it was.
stream(mixed ${PAL} ${NTSC})
run(0 recover mixed)
must_match("${err}" "recording 2 [^\n]*is not recovered")
unchanged(0 mixed repair mixed)
must_match("${out}" "1 recording behind the last recording of VR_MOVIE.VRO that the tables do not describe is kept")
unchanged(1 mixed adopt mixed --dry-run)
must_match("${out}" "would be kept where it is: it is a 525/60 recording on a 625/50 disc")
unchanged(1 mixed adopt mixed)
must_match("${err}" "is kept where it is but not registered \\([^\n]*525/60")
run(0 extract mixed --undescribed -d mixed-out)
must_match("${out}" "^mixed-out/movie_305152-581632_recording.mpg\n$")
file(SHA256 ${WORK}/mixed-out/movie_305152-581632_recording.mpg got)
file(SHA256 ${NTSC} want)
expect("--undescribed did not write the NTSC recording as it was" got STREQUAL want)
unchanged(0 mixed repair mixed --discard-undescribed --dry-run)
run(0 repair mixed --discard-undescribed)
file(SIZE ${WORK}/mixed/VR_MOVIE.VRO size)
expect("--discard-undescribed left ${size} bytes" size EQUAL 305152)

# A stream whose first 100,000 bytes are missing (not a whole number of
# sectors): recover finds its packs off the sector boundaries and says so;
# --realign cuts the rest of the broken first pack and recovers the rest,
# the two whole recordings byte for byte. Such data behind the described
# end of a disc is kept by repair.
file(MAKE_DIRECTORY ${WORK}/cut)
execute_process(COMMAND sh -c "cat '${PAL}' '${PAL_LPCM}' '${PAL}' | tail -c +100001 > cut/VR_MOVIE.VRO"
  WORKING_DIRECTORY ${WORK})
unchanged(1 cut recover cut)
one_sentence_error("${err}" "its MPEG packs begin 352 bytes into their sectors \\(its first bytes are missing\\); 'vrmangr recover cut --realign'")
unchanged(0 cut recover cut --realign --dry-run)
run(0 recover cut --realign)
must_match("${out}" "cut the first 352 bytes")
extracts_as(cut 2 ${PAL_LPCM})
extracts_as(cut 3 ${PAL})
run(0 create behind ${PAL})
execute_process(COMMAND sh -c "tail -c +1001 '${PAL_LPCM}' >> behind/VR_MOVIE.VRO" WORKING_DIRECTORY ${WORK})
file(SIZE ${WORK}/behind/VR_MOVIE.VRO grown)
unchanged(0 behind check behind)
must_match("${out}" "MPEG packs that begin 1048 bytes into their sectors")
run(0 repair behind)
file(SIZE ${WORK}/behind/VR_MOVIE.VRO kept)
expect("repair cut the misaligned recording (${grown} -> ${kept})" kept EQUAL grown)
