# Runs the firmware resource writer against a folder of images, as -DZEFRAN_FIRMWARE_DIR does:
# a complete folder is embedded as it is; a missing image or a size that is not a multiple of
# 4 bytes fails. Called by CTest with -DSCRIPT=<make_firmware_rc.py> -DPYTHON=<python> -DWORK=<dir>.
set(ids 119 120 122 124 125 126 127 128 130 131 132 133 140 141 142 143 145 146 147 148 151
        152 153 154 155 156 157 158 159 160 170 171 172 173 174 175 176 177 200)

function(make_images folder)
    file(REMOVE_RECURSE ${folder})
    file(MAKE_DIRECTORY ${folder})
    foreach(id IN LISTS ids)
        file(WRITE ${folder}/${id}.bin "image${id}")    # 8 bytes
    endforeach()
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
file(WRITE ${WORK}/odd/172.bin "abcdef")
run_writer(${WORK}/odd FALSE "172.bin is 6 bytes, not a multiple of 4")
