# The Qt-free core, shared by the project's build and the fuzz build.
set(TAVOFOX_CORE_SOURCES
  link/serial_port_posix.cpp
  link/port_numbers.cpp
  link/timer_session.cpp
  config/unit_conversions.cpp
  config/config_image.cpp
  config/configuration.cpp
  content/cw_message.cpp
  content/tone_sequence.cpp
  app/settings_form.cpp
)
