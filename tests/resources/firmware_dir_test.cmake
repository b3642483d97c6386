# Runs the firmware resource writer against a folder of images, as -DZEFRAN_FIRMWARE_DIR does:
# a complete folder is embedded as it is; a missing image, a size other than the catalogue's, an
# unknown file and a generated placeholder fail. Called by CTest with -DSCRIPT=<make_firmware_rc.py>
# -DPYTHON=<python> -DWORK=<dir>.

# The stored images and their sizes, as the catalogue lists them.
set(images 119:87552 120:87552 122:62848 124:65792 125:65792 126:23552 127:23552 128:23552
           130:23552 131:121856 132:121856 133:121856 140:97984 141:97984 142:97968 143:58224
           145:76224 146:97792 147:76320 148:97792 151:98304 152:64784 153:77088 154:86448
           155:74080 156:48000 157:98304 158:98304 159:64752 160:38480 170:58336 171:58336
           172:98304 173:98304 174:98304 175:94048 176:94032 177:94016 200:63456)

# Images of the right sizes whose bytes are no placeholder's: the ID repeated.
function(make_images folder)
    file(REMOVE_RECURSE ${folder})
    file(MAKE_DIRECTORY ${folder})
    string(REPLACE ";" " " sizes "${images}")
    execute_process(COMMAND ${PYTHON} -c [=[
import sys
for entry in sys.argv[2].split():
    image_id, size = map(int, entry.split(":"))
    open(f"{sys.argv[1]}/{image_id}.bin", "wb").write(bytes([image_id % 256]) * size)
]=] ${folder} ${sizes})
endfunction()

function(run_writer folder expect_success expect_text)
    execute_process(COMMAND ${PYTHON} ${SCRIPT} --out ${WORK}/out --images ${folder}
                    RESULT_VARIABLE result ERROR_VARIABLE errors)
    if(expect_success AND NOT result EQUAL 0)
        message(FATAL_ERROR "a complete image folder was refused: ${errors}")
    endif()
    if(NOT expect_success AND result EQUAL 0)
        message(FATAL_ERROR "an image folder was accepted that should fail: ${expect_text}")
    endif()
    if(NOT errors MATCHES "${expect_text}")
        message(FATAL_ERROR "expected '${expect_text}' in: ${errors}")
    endif()
endfunction()

# Every image present, of a size unlike the placeholders': embedded as given.
make_images(${WORK}/good)
run_writer(${WORK}/good TRUE "")
file(READ ${WORK}/out/firmware.rc rc)
if(NOT rc MATCHES "151 RCDATA \"[^\"]*/good/151.bin\"" OR rc MATCHES "placeholders")
    message(FATAL_ERROR "the real images were not embedded: ${rc}")
endif()

make_images(${WORK}/missing)
file(REMOVE ${WORK}/missing/151.bin)
run_writer(${WORK}/missing FALSE "151.bin is missing")

make_images(${WORK}/odd)
file(WRITE ${WORK}/odd/172.bin "abcd")
run_writer(${WORK}/odd FALSE "172.bin is 4 bytes, not the 98304 the catalogue gives for image 172")

make_images(${WORK}/extra)
file(WRITE ${WORK}/extra/150.bin "abcd")
run_writer(${WORK}/extra FALSE "150.bin is not a stored image of the catalogue")

# The placeholders a build writes, passed as real images.
execute_process(COMMAND ${PYTHON} ${SCRIPT} --out ${WORK}/placeholder_build ERROR_QUIET)
make_images(${WORK}/fake)
# COPY_FILE, not COPY: COPY skips a file whose time stamp equals the one it would replace.
file(COPY_FILE ${WORK}/placeholder_build/placeholders/157.bin ${WORK}/fake/157.bin)
run_writer(${WORK}/fake FALSE "157.bin is the generated placeholder, not firmware")
