# Compiler flags shared by every target, and the per-level kernel flags.

add_compile_options(-Wall -Wextra -ffp-contract=off -fno-strict-aliasing)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "i[3-6]86" OR CMAKE_SIZEOF_VOID_P EQUAL 4)
  # 32-bit x86: keep scalar floating point in SSE registers, as the kernels expect.
  add_compile_options(-msse2 -mfpmath=sse)
endif()

if(ORVU_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    # Clang links the sanitizer runtimes statically into executables only:
    # shared objects linked with --no-undefined need the shared runtime.
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libclang_rt.asan-${CMAKE_SYSTEM_PROCESSOR}.so
                    OUTPUT_VARIABLE asan_rt OUTPUT_STRIP_TRAILING_WHITESPACE)
    get_filename_component(asan_dir "${asan_rt}" DIRECTORY)
    add_link_options(-shared-libasan "-Wl,-rpath,${asan_dir}")
  endif()
endif()

# Instruction-set flags of each kernel level. A kernel source is compiled with
# the flags of its own level only (never -march=native), so results do not
# depend on the build machine.
set(ORVU_ISA_FLAGS_A0 "")
set(ORVU_ISA_FLAGS_A2 "-msse2")
set(ORVU_ISA_FLAGS_A3 "-msse3")
set(ORVU_ISA_FLAGS_A4 "-mssse3")
set(ORVU_ISA_FLAGS_A5 "-msse4.1")
set(ORVU_ISA_FLAGS_W2 "-mavx2")
# AVX-512 brings FMA instructions with it; GCC 12's straight-line vectorizer
# then forms fused multiply-add/subtract from separate products and sums even
# under -ffp-contract=off, so it is kept off in these units.
set(ORVU_ISA_FLAGS_W3 -mavx512f -mavx512dq -mavx512bw -mavx512vl -fno-tree-slp-vectorize)

# orvu_level_sources(<target> <level> <files...>): adds the files to the target,
# compiled with the flags of <level> (A0, A2..A5, or the
# wide levels W2, W3) and ORVU_LEVEL_<level>
# defined.
function(orvu_level_sources target level)
  target_sources(${target} PRIVATE ${ARGN})
  set_source_files_properties(${ARGN} TARGET_DIRECTORY ${target} PROPERTIES
    COMPILE_OPTIONS "${ORVU_ISA_FLAGS_${level}}"
    COMPILE_DEFINITIONS "ORVU_LEVEL_${level}=1")
endfunction()

# orvu_family_enabled(<family> <out>): whether ORVU_FAMILIES selects the family.
function(orvu_family_enabled fam out)
  if(ORVU_FAMILIES STREQUAL "all" OR fam IN_LIST ORVU_FAMILIES)
    set(${out} ON PARENT_SCOPE)
  else()
    set(${out} OFF PARENT_SCOPE)
  endif()
endfunction()

# orvu_add_family_subdirs(<family>:<dir> ...): add_subdirectory(<dir>) for each
# selected family whose <dir> (relative to the current source dir) has a
# CMakeLists.txt.
macro(orvu_add_family_subdirs)
  foreach(entry ${ARGN})
    string(REPLACE ":" ";" _parts "${entry}")
    list(GET _parts 0 _fam)
    list(GET _parts 1 _dir)
    orvu_family_enabled(${_fam} _fam_on)
    if(_fam_on AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${_dir}/CMakeLists.txt)
      add_subdirectory(${_dir})
    endif()
  endforeach()
endmacro()
