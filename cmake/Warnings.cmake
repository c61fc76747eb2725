# The warnings we keep the code free of, on every compiler we build with. They are errors only
# where we build to keep it so (the presets, CI): a packager's compiler or optimisation level may
# warn where ours does not, and that must not stop the build.
option(MARLOWIN_WARNINGS_AS_ERRORS "Treat compiler warnings as errors" OFF)
if(MSVC)
  add_compile_options(/W4 /permissive- /utf-8)
  if(MARLOWIN_WARNINGS_AS_ERRORS)
    add_compile_options(/WX)
  endif()
else()
  add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion)
  if(MARLOWIN_WARNINGS_AS_ERRORS)
    add_compile_options(-Werror)
  endif()
endif()
