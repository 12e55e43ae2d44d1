# AddressSanitizer and UndefinedBehaviorSanitizer for the whole build, so that the
# test suite runs once more under them (scripts/test uses the asan preset).
if(WAKEWARD_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
