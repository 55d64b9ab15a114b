# check (also --deep) on a good disc and on damaged ones; repair. check
# never changes a file; repair keeps the copy with more recorded data.
include(${CMAKE_CURRENT_LIST_DIR}/common.cmake)

function(fresh name)
  file(REMOVE_RECURSE ${WORK}/${name})
  run(0 create ${name} ${PAL} --still ${STILL})
endfunction()

# check_exits(CODE DIR [--deep]): runs check and fails when it changed a file.
macro(check_exits code dir)
  unchanged(${code} ${dir} check ${dir} ${ARGN})
endmacro()

# repaired(DIR CHECK_SAYS REPAIR_SAYS): check fails on DIR saying
# CHECK_SAYS, repair mends it saying REPAIR_SAYS, and check passes after.
function(repaired dir check_says repair_says)
  check_exits(1 ${dir})
  must_match("${out}" "${check_says}")
  one_sentence_error("${err}" "${dir} failed the check")
  run(0 repair ${dir})
  must_match("${out}" "${repair_says}")
  check_exits(0 ${dir})
  must_match("${out}" "^${dir}: no problems found \\(")
endfunction()

file(SIZE ${PAL} pal)
file(SIZE ${PAL_LPCM} lpcm)

fresh(good)
check_exits(0 good)
must_match("${out}" "^good: no problems found")
check_exits(0 good --deep)
must_match("${out}" "every recording read where its tables place it")
run(0 repair good)
must_match("${out}" "nothing to repair")

# A management file of 175 KB (three playlists of 1999 cells) as the
# library writes it, RTR_VMG_EA 0x1FFFF: nothing to complain about.
fresh(big)
execute_process(COMMAND ${HELPER} playlists ${WORK}/big 3 1999 RESULT_VARIABLE rc)
file(SIZE ${WORK}/big/VR_MANGR.IFO ifo_size)
expect("the large disc was not made (${rc}, ${ifo_size} bytes)" rc EQUAL 0 AND ifo_size GREATER 175000)
check_exits(0 big)
unchanged(0 big repair big)
must_match("${out}" "nothing to repair")

# One damaged copy: the other restores it. An IFO that is not a management
# file; a missing IFO; a BUP whose M_AVFIT_SA points outside the file; an
# IFO whose program counts 0x8000 cells (it loads, but every disagreement
# of its tables is named).
fresh(ifo)
file(WRITE ${WORK}/ifo/VR_MANGR.IFO "not a management file")
repaired(ifo "VR_MANGR.IFO does not begin with the identifier" "VR_MANGR.IFO restored from VR_MANGR.BUP")
fresh(gone)
file(REMOVE ${WORK}/gone/VR_MANGR.IFO)
repaired(gone "VR_MANGR.IFO is missing" "VR_MANGR.IFO restored from VR_MANGR.BUP")
fresh(bup)
damage(bup/VR_MANGR.BUP 256 7fffff00)
repaired(bup "VR_MANGR.BUP does not load" "VR_MANGR.BUP restored from VR_MANGR.IFO")
fresh(cells)
hex_of(${WORK}/cells/VR_MANGR.IFO sa OFFSET 304 LIMIT 4)  # ORG_PGCI_SA
math(EXPR c_ns "0x${sa} + 4 + 2")  # C_Ns of program 1
damage(cells/VR_MANGR.IFO ${c_ns} 8000)
repaired(cells "VR_MANGR.IFO: ORG_PGCI.*restores VR_MANGR.IFO from VR_MANGR.BUP" "VR_MANGR.IFO restored from VR_MANGR.BUP")

# A stale IFO (a save that stopped between the copies): the BUP describes
# one recording more, and the stream holds it.
fresh(stale)
file(COPY_FILE ${WORK}/stale/VR_MANGR.IFO ${WORK}/old.ifo)
run(0 add stale ${PAL_LPCM})
file(COPY_FILE ${WORK}/old.ifo ${WORK}/stale/VR_MANGR.IFO)
foreach(copy stale2 stale3)
  file(REMOVE_RECURSE ${WORK}/${copy})
  file(COPY ${WORK}/stale/ DESTINATION ${WORK}/${copy})
endforeach()
check_exits(1 stale)
golden("${out}" check_stale.txt)
run(0 repair stale)
must_match("${out}" "VR_MANGR.IFO restored from VR_MANGR.BUP \\(VR_MANGR.BUP describes more recorded data")
check_exits(0 stale)
run(0 info stale)
must_match("${out}" "Original chain: 1 program, 3 cells")
# --from keeps the smaller copy as asked; the recording only the BUP
# described stays in the stream until a later repair.
run(0 repair stale2 --from ifo)
must_match("${out}" "VR_MANGR.BUP restored from VR_MANGR.IFO \\(as --from asks\\)")
must_match("${out}" "the recordings only VR_MANGR.BUP described stay in VR_MOVIE.VRO behind byte ${pal}")
file(SIZE ${WORK}/stale2/VR_MOVIE.VRO movie)
math(EXPR both "${pal} + ${lpcm}")
expect("repair --from ifo cut VR_MOVIE.VRO to ${movie} bytes" movie EQUAL both)
check_exits(0 stale2)
must_match("${out}" "warning: VR_MOVIE.VRO holds ${lpcm} bytes behind its last recording")
# Where the stream lacks the BUP's recording, the IFO is kept, and why.
damage(stale3/VR_MOVIE.VRO truncate ${pal})
run(0 repair stale3)
must_match("${out}" "VR_MANGR.BUP restored from VR_MANGR.IFO \\(VR_MANGR.BUP describes recordings that run past the end of VR_MOVIE.VRO")
check_exits(0 stale3)
run(2 repair stale3 --from both)

# Both damaged: nothing to restore from.
fresh(both)
damage(both/VR_MANGR.IFO 304 7fffff00)  # ORG_PGCI_SA
damage(both/VR_MANGR.BUP 304 7fffff00)
check_exits(1 both)
must_match("${out}" "1 problem found:\n  - VR_MANGR.IFO \\(and the identical VR_MANGR.BUP\\) does not load")
run(1 repair both)
one_sentence_error("${err}" "nothing to restore from")

# Recorded data missing from the stream files.
fresh(short)
damage(short/VR_MOVIE.VRO truncate 100000)
file(REMOVE ${WORK}/short/VR_STILL.VRO)
check_exits(1 short)
math(EXPR lost "${pal} - 100000")
must_match("${out}" "VR_MOVIE.VRO is 100000 bytes long, shorter than the ${pal} bytes its recordings reach: ${lost} bytes of recorded data are missing \\(VOB 1\\)")
must_match("${out}" "VR_STILL.VRO is missing; the recordings of VR_MANGR.IFO need [0-9]+ bytes of it \\(VOG 1\\)")
run(1 repair short)
one_sentence_error("${err}" "is beyond repair")

# Leftovers of an interrupted save: bytes (a partial sector too) behind the
# last still picture, temporary files. check lists them, repair removes them.
fresh(left)
file(SIZE ${WORK}/left/VR_STILL.VRO still)
math(EXPR longer "${still} + 4100")
damage(left/VR_STILL.VRO truncate ${longer})
file(WRITE ${WORK}/left/VR_MANGR.IFO.tmp-Ab12Cd "half a save")
file(WRITE ${WORK}/left/VR_MOVIE.VRO.new "")
file(WRITE ${WORK}/left/VR_MANGR.IFO.tmp-notours "kept")
check_exits(0 left)
must_match("${out}" "^left: 3 warnings:\n")
must_match("${out}" "warning: VR_STILL.VRO holds 4100 bytes behind its last recording \\(which ends at byte ${still}\\)")
must_match("${out}" "warning: VR_MANGR.IFO.tmp-Ab12Cd \\(11 bytes\\) is a leftover")
must_match("${out}" "warning: VR_MOVIE.VRO.new \\(0 bytes\\) is a leftover")
must_match("${out}" "'vrmangr repair left' removes the leftovers")
run(0 repair left)
must_match("${out}" "removed the 4100 bytes behind the last recording of VR_STILL.VRO")
file(SIZE ${WORK}/left/VR_STILL.VRO after)
expect("repair did not remove exactly the leftovers" after EQUAL still AND EXISTS ${WORK}/left/VR_MANGR.IFO.tmp-notours
       AND NOT EXISTS ${WORK}/left/VR_MANGR.IFO.tmp-Ab12Cd AND NOT EXISTS ${WORK}/left/VR_MOVIE.VRO.new)
check_exits(0 left)
must_match("${out}" "^left: no problems found \\(")
run(0 repair left)
must_match("${out}" "nothing to repair")

# Two recordings; VOB 2 moved (ADR_OFS of its time map) 11 sectors up, the
# stream lengthened to hold it: a gap is a warning. Moved down into VOB 1:
# an overlap is a problem, and repair cuts nothing behind it.
file(REMOVE_RECURSE ${WORK}/gap)
run(0 create gap ${PAL} ${PAL})
file(COPY ${WORK}/gap/ DESTINATION ${WORK}/overlap)
math(EXPR sectors "${pal} / 2048")
hex_of(${WORK}/gap/VR_MANGR.IFO all)
# TM_ENT_Ns 1, VOBU_ENT_Ns 4, TM_OFS 0, ADR_OFS 149: the time map of VOB 2.
string(FIND "${all}" "00010004000000000095" at)
math(EXPR adr "${at} / 2 + 6")
expect("no time map of VOB 2 in gap/VR_MANGR.IFO" at GREATER 0)
foreach(copy IFO BUP)
  damage(gap/VR_MANGR.${copy} ${adr} 000000a0)  # 160
  damage(overlap/VR_MANGR.${copy} ${adr} 00000064)  # 100
endforeach()
math(EXPR longer "(160 + ${sectors}) * 2048")
damage(gap/VR_MOVIE.VRO truncate ${longer})
check_exits(0 gap)
must_match("${out}" "warning: VR_MOVIE.VRO: sectors 149..160 \\(11 sectors\\) lie before the last recording but belong to none")
check_exits(1 overlap)
must_match("${out}" "VR_MOVIE.VRO: VOB 1 \\(sectors 0..149\\) and VOB 2 \\(sectors 100..249\\) share sectors")
unchanged(1 overlap repair overlap)

# check --deep reads the stream: zeros where the recording should be fail,
# with the first few places named and the rest counted.
fresh(zeros)
damage(zeros/VR_MOVIE.VRO truncate 0)
damage(zeros/VR_MOVIE.VRO truncate ${pal})
check_exits(0 zeros)
check_exits(1 zeros --deep)
must_match("${out}" "VR_MOVIE.VRO: VOB 1 does not begin with an MPEG pack header at its start sector 0")
must_match("${out}" "VR_MOVIE.VRO: VOB 1: VOBU 2 does not begin with an MPEG pack header at sector [0-9]+")
must_match("${out}" "VR_MOVIE.VRO: VOB 1: and 1 more place where")
must_not_match("${out}" "VR_STILL.VRO")
run(2 check zeros --shallow)
# Another recording's stream of the same length: packs everywhere, but no
# navigation pack where the time map places VOBUs.
file(COPY_FILE ${PAL_LPCM} ${WORK}/zeros/VR_MOVIE.VRO)
damage(zeros/VR_MOVIE.VRO truncate ${pal})
check_exits(1 zeros --deep)
must_match("${out}" "VR_MOVIE.VRO: VOB 1: VOBU [0-9]+ at sector [0-9]+ holds no navigation pack")
