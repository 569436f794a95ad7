# Compiler and linker flags for every target of this project (third-party code is pre-built
# under .deps/ and does not see them).
add_compile_options(-Wall -Wextra -Wshadow -Wnon-virtual-dtor -Wcast-align -Wformat=2)
if(TARNWICK_WERROR)
  add_compile_options(-Werror)
endif()

if(TARNWICK_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# The fuzz preset instruments all project code for coverage, so the fuzzers see inside the
# libraries they call; only the fuzz targets themselves link libFuzzer's main.
if(TARNWICK_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

if(WIN32)
  # ANSI Win32 API throughout; no DLLs beside our programs but the system's.
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0501 __USE_MINGW_ANSI_STDIO=1)
  add_link_options(-static -static-libgcc -static-libstdc++)
  # Debian's MinGW zlib comes as libz.a and as libz.dll.a; the latter would make our programs
  # import zlib1.dll, which Windows does not have.
  set(ZLIB_USE_STATIC_LIBS ON)
  # A build folder configured before that rule still holds the DLL's import library in its cache.
  foreach(cached ZLIB_LIBRARY ZLIB_LIBRARY_RELEASE ZLIB_LIBRARY_DEBUG)
    if(${cached} MATCHES "\\.dll\\.a$")
      unset(${cached} CACHE)
    endif()
  endforeach()
else()
  add_compile_definitions(_FILE_OFFSET_BITS=64)
endif()
