# check on a good disc and on damaged ones; repair.
include(${CMAKE_CURRENT_LIST_DIR}/common.cmake)

function(fresh name)
  file(REMOVE_RECURSE ${WORK}/${name})
  run(0 create ${name} ${PAL} --still ${STILL})
endfunction()

fresh(good)
run(0 check good)
must_match("${out}" "^good: no problems found")
run(0 repair good)
must_match("${out}" "nothing to repair")

# An IFO that is not a management file: the backup restores it.
fresh(ifo)
file(WRITE ${WORK}/ifo/VR_MANGR.IFO "not a management file")
run(1 check ifo)
must_match("${out}" "VR_MANGR.IFO does not begin with the identifier")
one_sentence_error("${err}" "ifo failed the check")
run(0 info ifo)  # opens from the backup
run(0 repair ifo)
must_match("${out}" "VR_MANGR.IFO restored from VR_MANGR.BUP")
run(0 check ifo)

# A missing IFO.
fresh(gone)
file(REMOVE ${WORK}/gone/VR_MANGR.IFO)
run(1 check gone)
must_match("${out}" "VR_MANGR.IFO is missing")
run(0 repair gone)
run(0 check gone)

# A backup whose table address points outside the file: the IFO restores it.
fresh(bup)
damage(bup/VR_MANGR.BUP 256 7fffff00)  # M_AVFIT_SA
run(1 check bup)
must_match("${out}" "VR_MANGR.BUP does not load")
must_not_match("${out}" "VR_MANGR.IFO does not")
run(0 repair bup)
must_match("${out}" "VR_MANGR.BUP restored from VR_MANGR.IFO")
run(0 check bup)

# Both valid but different (the backup of an earlier state): the IFO wins.
fresh(differ)
file(COPY_FILE ${WORK}/differ/VR_MANGR.BUP ${WORK}/old.bup)
run(0 playlist differ new)
file(COPY_FILE ${WORK}/old.bup ${WORK}/differ/VR_MANGR.BUP)
run(1 check differ)
must_match("${out}" "1 problem found:\n  - VR_MANGR.IFO and VR_MANGR.BUP differ")
run(0 repair differ)
run(0 check differ)
run(0 info differ)
must_match("${out}" "Playlists: 1\n")

# Both damaged: nothing to restore from.
fresh(both)
damage(both/VR_MANGR.IFO 304 7fffff00)  # ORG_PGCI_SA
damage(both/VR_MANGR.BUP 304 7fffff00)
run(1 check both)
must_match("${out}" "2 problems found")
run(1 repair both)
one_sentence_error("${err}" "nothing to restore from")
run(1 info both)

# Stream files shorter or longer than the tables say.
fresh(short)
file(SIZE ${PAL} pal)
damage(short/VR_MOVIE.VRO truncate 100000)
run(1 check short)
must_match("${out}" "VR_MOVIE.VRO is 100000 bytes long, shorter than the ${pal} bytes")
fresh(long)
file(SIZE ${WORK}/long/VR_STILL.VRO still)
math(EXPR longer "${still} + 4096")
damage(long/VR_STILL.VRO truncate ${longer})
run(1 check long)
must_match("${out}" "VR_STILL.VRO is ${longer} bytes long, longer than the ${still} bytes")
