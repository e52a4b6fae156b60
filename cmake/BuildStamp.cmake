# Stamps the module's build values from one moment: SOURCE_DATE_EPOCH when
# it is set (string(TIMESTAMP) honours it), the configure time otherwise.
# Writes ${CMAKE_CURRENT_BINARY_DIR}/generated/module/build_info.h.

# The clock is read once, every field in the same reading: separate
# readings could straddle a second (or midnight) and disagree.
string(TIMESTAMP _moment "%s;%a;%b;%d;%H:%M:%S;%Y;%m%d" UTC)
list(GET _moment 0 CVMODULE_BUILD_TIME)
list(GET _moment 1 _weekday)
list(GET _moment 2 _month)
list(GET _moment 3 _day)
list(GET _moment 4 _clock)
list(GET _moment 5 _year)
list(GET _moment 6 _mmdd)

# The day of the month right-aligned in two places, blank-filled.
string(REGEX REPLACE "^0" " " _day2 "${_day}")

set(_minor2 "${PROJECT_VERSION_MINOR}")
if(PROJECT_VERSION_MINOR LESS 10)
  set(_minor2 "0${PROJECT_VERSION_MINOR}")
endif()
set(_patch2 "${PROJECT_VERSION_PATCH}")
if(PROJECT_VERSION_PATCH LESS 10)
  set(_patch2 "0${PROJECT_VERSION_PATCH}")
endif()

set(CVMODULE_SHORT_VERSION "${PROJECT_VERSION_MAJOR}.${_minor2}")                   # d.dd
set(CVMODULE_RELEASE "${CVMODULE_SHORT_VERSION}.${_patch2}M0P${_mmdd}${_year}")     # 18 characters
string(SUBSTRING "${_year}" 2 2 _yy)
set(CVMODULE_BUILD_LEVEL "${CVMODULE_SHORT_VERSION}.${_patch2}M0P${_mmdd}${_yy}")   # 16 characters
set(CVMODULE_BUILD_DATE "${_month} ${_day2} ${_year}")                              # 11 characters
set(CVMODULE_BUILD_STAMP "${_weekday} ${_month} ${_day2} ${_clock} UTC ${_year}")   # 28 characters
# A fixed path, not the checkout's, so that builds are reproducible.
set(CVMODULE_SOURCE_PATH "/cvmodule/src")
if(WIN32)
  set(CVMODULE_PLATFORM "win64")
else()
  set(CVMODULE_PLATFORM "lin64")
endif()

math(EXPR CVMODULE_BUILD_TIME_HIGH "(${CVMODULE_BUILD_TIME} >> 16) & 65535")
math(EXPR CVMODULE_BUILD_TIME_LOW "${CVMODULE_BUILD_TIME} & 65535")
set(CVMODULE_PRODUCT_VERSION_TEXT "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}")
set(CVMODULE_FILE_VERSION_TEXT
    "${CVMODULE_PRODUCT_VERSION_TEXT}.${CVMODULE_BUILD_TIME_HIGH}.${CVMODULE_BUILD_TIME_LOW}")

foreach(_text CVMODULE_SHORT_VERSION:4 CVMODULE_RELEASE:18 CVMODULE_BUILD_LEVEL:16
              CVMODULE_BUILD_DATE:11 CVMODULE_BUILD_STAMP:28)
  string(REPLACE ":" ";" _pair "${_text}")
  list(GET _pair 0 _name)
  list(GET _pair 1 _width)
  string(LENGTH "${${_name}}" _length)
  if(NOT _length EQUAL _width)
    message(FATAL_ERROR "${_name} '${${_name}}' is ${_length} characters, not ${_width}")
  endif()
endforeach()

configure_file(${PROJECT_SOURCE_DIR}/module/build_info.h.in
               ${CMAKE_CURRENT_BINARY_DIR}/generated/module/build_info.h @ONLY)
