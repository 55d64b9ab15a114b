# check (also --deep) on a good disc and on damaged ones, and repair: what
# they print is golden/check.txt. check never changes a file; repair keeps
# the copy with more recorded data.
include(${CMAKE_CURRENT_LIST_DIR}/common.cmake)

function(fresh name)
  run(0 create ${name} ${PAL} --still ${STILL})
endfunction()
# checked(CODE DIR [--deep]): check, which must not change a file.
macro(checked code dir)
  unchanged(${code} ${dir} check ${dir} ${ARGN})
endmacro()
# repaired(DIR): check fails, repair mends it and check passes after.
function(repaired dir)
  checked(1 ${dir})
  run(0 repair ${dir})
  checked(0 ${dir})
endfunction()

file(SIZE ${PAL} pal)
fresh(good)
checked(0 good)
checked(0 good --deep)
run(0 repair good)

# A management file of 175 KB (three playlists of 1999 cells) as the
# library writes it, RTR_VMG_EA 0x1FFFF: nothing to complain about.
fresh(big)
execute_process(COMMAND ${HELPER} playlists ${WORK}/big 3 1999 RESULT_VARIABLE rc)
file(SIZE ${WORK}/big/VR_MANGR.IFO ifo_size)
expect("the large disc was not made (${rc}, ${ifo_size} bytes)" rc EQUAL 0 AND ifo_size GREATER 175000)
checked(0 big)
unchanged(0 big repair big)

# One damaged copy, which the other restores: an IFO that is not a
# management file; a missing IFO; a BUP whose M_AVFIT_SA points outside the
# file; an IFO whose program counts 0x8000 cells (it loads, but its tables
# disagree).
foreach(name ifo gone bup cells)
  fresh(${name})
endforeach()
file(WRITE ${WORK}/ifo/VR_MANGR.IFO "not a management file")
file(REMOVE ${WORK}/gone/VR_MANGR.IFO)
damage(bup/VR_MANGR.BUP 256 7fffff00)
hex_of(${WORK}/cells/VR_MANGR.IFO sa OFFSET 304 LIMIT 4)  # ORG_PGCI_SA
math(EXPR c_ns "0x${sa} + 4 + 2")  # C_Ns of program 1
damage(cells/VR_MANGR.IFO ${c_ns} 8000)
foreach(name ifo gone bup cells)
  repaired(${name})
endforeach()

# A stale IFO (a save that stopped between the copies): the BUP describes
# one recording more, which the stream holds, so it is kept. --from keeps
# the IFO as asked, the recording only the BUP described staying in the
# stream (a leftover) until a later repair. Where the stream lacks it, the
# IFO is kept, and why.
fresh(stale)
file(COPY_FILE ${WORK}/stale/VR_MANGR.IFO ${WORK}/old.ifo)
run(0 add stale ${PAL_LPCM})
file(COPY_FILE ${WORK}/old.ifo ${WORK}/stale/VR_MANGR.IFO)
file(COPY ${WORK}/stale/ DESTINATION ${WORK}/stale2)
file(COPY ${WORK}/stale/ DESTINATION ${WORK}/stale3)
repaired(stale)
run(0 repair stale2 --from ifo)
checked(0 stale2)  # (which shows what repair left in the stream)
damage(stale3/VR_MOVIE.VRO truncate ${pal})
run(0 repair stale3)
checked(0 stale3)
run(2 repair stale3 --from both)

# Both copies damaged (ORG_PGCI_SA outside the file): nothing to restore
# from. Recorded data missing from the stream files: beyond repair.
fresh(both)
damage(both/VR_MANGR.IFO 304 7fffff00)
damage(both/VR_MANGR.BUP 304 7fffff00)
checked(1 both)
run(1 repair both)
fresh(short)
damage(short/VR_MOVIE.VRO truncate 100000)
file(REMOVE ${WORK}/short/VR_STILL.VRO)
checked(1 short)
run(1 repair short)

# Leftovers of an interrupted save: bytes (a partial sector too) behind the
# last still picture, temporary files. check lists them, repair removes
# exactly them.
fresh(left)
file(SIZE ${WORK}/left/VR_STILL.VRO still)
math(EXPR longer "${still} + 4100")
damage(left/VR_STILL.VRO truncate ${longer})
file(WRITE ${WORK}/left/VR_MANGR.IFO.tmp-Ab12Cd "half a save")
file(WRITE ${WORK}/left/VR_MOVIE.VRO.new "")
file(WRITE ${WORK}/left/VR_MANGR.IFO.tmp-notours "kept")
checked(0 left)
run(0 repair left)
expect("repair removed VR_MANGR.IFO.tmp-notours" EXISTS ${WORK}/left/VR_MANGR.IFO.tmp-notours)
checked(0 left)
run(0 repair left)

# Two recordings, VOB 2 moved (ADR_OFS of its time map, TM_ENT_Ns 1,
# VOBU_ENT_Ns 4, TM_OFS 0, ADR_OFS 149) down to sector 100 into VOB 1:
# recordings that share sectors are a problem, and repair cuts nothing
# behind them. (Gaps between recordings: the Readers safety test.)
run(0 create overlap ${PAL} ${PAL})
hex_of(${WORK}/overlap/VR_MANGR.IFO all)
string(FIND "${all}" "00010004000000000095" at)
math(EXPR adr "${at} / 2 + 6")
expect("no time map of VOB 2 in overlap/VR_MANGR.IFO" at GREATER 0)
damage(overlap/VR_MANGR.IFO ${adr} 00000064)
damage(overlap/VR_MANGR.BUP ${adr} 00000064)
checked(1 overlap)
unchanged(1 overlap repair overlap)
# A recording time that is no date (2016-00-07: the month of its REC_TM, in
# both copies, set to 0) is a warning.
run(0 create baddate ${PAL} --date 2016-03-07T12:00:00Z)
foreach(copy IFO BUP)
  hex_of(${WORK}/baddate/VR_MANGR.${copy} all)
  string(FIND "${all}" "1f80cec000" at)
  expect("no REC_TM of 2016-03-07 12:00:00 in VR_MANGR.${copy}" at GREATER 0)
  math(EXPR at "${at} / 2 + 2")
  damage(baddate/VR_MANGR.${copy} ${at} 0e)
endforeach()
checked(0 baddate)
must_match("${out}" "warning: program 1: its recording time 2016-00-07 12:00:00 is not a date\\.")
# info reads such a disc, but says so.
unchanged(0 overlap info overlap)
must_match("${err}" "^vrmangr: warning: VOBs 1 and 2 of overlap share sectors of VR_MOVIE.VRO; 'vrmangr check overlap'")

# 1 MB inserted into the middle of the stream moves the recordings behind
# it: a plain check reads three VOBUs of each recording and fails; repair
# cuts nothing (what now lies behind the described end is the tail of the
# last recording).
run(0 create inserted ${PAL} ${PAL_LPCM} ${PAL})
execute_process(COMMAND ${HELPER} insert ${WORK}/inserted/VR_MOVIE.VRO 624640 1048576 RESULT_VARIABLE rc)
expect("could not insert into inserted/VR_MOVIE.VRO" rc EQUAL 0)
file(SIZE ${WORK}/inserted/VR_MOVIE.VRO grown)
checked(1 inserted)
must_match("${out}" "VOB 3 does not begin with an MPEG pack header at its start sector 461")
run(0 repair inserted)
file(SIZE ${WORK}/inserted/VR_MOVIE.VRO kept)
expect("repair cut the tail of the last recording (${grown} -> ${kept} bytes)" kept EQUAL grown)

# Two whole copies of the same recorded data that differ where the stream
# can tell: the IFO's time map moves VOBU 2 one sector on (VOBU 1 of 35
# sectors, VOBU 2 of 38). repair keeps the BUP, whose VOBUs begin where the
# stream's do, and restores the IFO from it.
fresh(moved)
file(READ ${WORK}/moved/VR_MANGR.BUP original HEX)
string(FIND "${original}" "0f7822147827" at)
expect("no VOBU entries 1 and 2 in moved/VR_MANGR.IFO" at GREATER 0)
math(EXPR at "${at} / 2")
damage(moved/VR_MANGR.IFO ${at} 0f7823147826)
run(0 repair moved)
must_match("${out}" "VR_MANGR.IFO restored from VR_MANGR.BUP \\(VR_MANGR.IFO places 1 VOBU or picture where the stream files hold none, VR_MANGR.BUP none\\)")
file(READ ${WORK}/moved/VR_MANGR.IFO mended HEX)
expect("repair did not restore the IFO from the BUP" mended STREQUAL original)
# ... and where it cannot (a title only the IFO has): repair lists the
# field of both side by side, changes nothing and asks for --from.
fresh(titled)
file(COPY_FILE ${WORK}/titled/VR_MANGR.BUP ${WORK}/untitled.bup)
run(0 title titled --program 1 Holiday)
file(COPY_FILE ${WORK}/untitled.bup ${WORK}/titled/VR_MANGR.BUP)
unchanged(1 titled repair titled)
must_match("${out}" "PRM_TXTI[^\n]*: VR_MANGR.IFO [^|]*48 6F 6C 69 64 61 79[^|]*\\| VR_MANGR.BUP")
one_sentence_error("${err}" "differ where the stream files cannot tell which is right; 'vrmangr repair titled --from ifo'")
run(0 repair titled --from ifo)
checked(0 titled)

# Three sectors zeroed inside a VOBU (not at its start): check --deep names
# their bytes; extract writes the program whole, names them and exits 1;
# with --skip-damaged it leaves their VOBU out and exits 0 with a warning.
fresh(holes)
string(REPEAT "00" 6144 zeros)
damage(holes/VR_MOVIE.VRO 20480 ${zeros})
checked(0 holes)
checked(1 holes --deep)
must_match("${out}" "VOB 1: bytes 20480..26624 of VR_MOVIE.VRO \\(about [0-9:.]+ into it\\) are damaged: no MPEG pack header")
run(1 extract holes --program 1 -o holes.mpg)
one_sentence_error("${err}" "program 1: bytes 20480..26624 of VR_MOVIE.VRO")
file(SIZE ${WORK}/holes.mpg size)
expect("the damaged program was not written whole (${size} bytes)" size EQUAL ${pal})
run(0 extract holes --program 1 -o holes-skipped.mpg --skip-damaged)
must_match("${err}" "^vrmangr: warning: program 1: left out bytes 0..69632; bytes 20480..26624")
hex_of(${PAL} tail OFFSET 69632)
hex_of(${WORK}/holes-skipped.mpg skipped)
expect("--skip-damaged did not leave out exactly the damaged VOBU" skipped STREQUAL tail)

# Zeros where the recording should be fail the check (a plain check reads
# the first, middle and last VOBU of each recording; --deep every sector),
# with the first few places named and the rest counted. Then another
# recording's stream of the same length: packs everywhere, but no
# navigation pack where the time map places VOBUs.
fresh(zeros)
damage(zeros/VR_MOVIE.VRO truncate 0)
damage(zeros/VR_MOVIE.VRO truncate ${pal})
checked(1 zeros)
checked(1 zeros --deep)
run(2 check zeros --shallow)
file(COPY_FILE ${PAL_LPCM} ${WORK}/zeros/VR_MOVIE.VRO)
damage(zeros/VR_MOVIE.VRO truncate ${pal})
checked(1 zeros)
checked(1 zeros --deep)
transcript(check.txt)
