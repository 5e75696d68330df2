# The Qt-free core, shared by the project's build and the fuzz build.
set(TAVOFOX_CORE_SOURCES
  core/decimal.cpp
  core/link/port_names.cpp
  core/link/timer_session.cpp
  core/link/link_interrupt.cpp
  core/link/line_trace.cpp
  core/link/serial_low_latency.cpp
  core/formats/unit_conversions.cpp
  core/formats/config_image.cpp
  core/formats/cw_message.cpp
  core/formats/tone_sequence.cpp
  core/formats/transmit_sequence.cpp
  core/formats/utf8.cpp
  core/formats/ringtone.cpp
  core/formats/tone_synthesis.cpp
  core/formats/wav_sound.cpp
  core/form/settings_form.cpp
  core/form/settings_table.cpp
  core/form/settings_text.cpp
  core/form/event_file.cpp
  core/form/event_timeline.cpp
  core/form/transmit_sequence_form.cpp
  core/operations/configuration.cpp
  core/operations/connect.cpp
  core/operations/sequence_tables.cpp
  core/operations/tone_sequence_edit.cpp
  core/operations/transmit_sequence_edit.cpp
  core/operations/oscillator_tuning.cpp
  core/operations/ringtone_dialog_model.cpp
  core/operations/ringtone_load.cpp
  core/operations/sound_upload.cpp
  core/operations/whole_setup.cpp
  core/operations/write_log.cpp
)
# The serial port and the port numbers of the platform.
if(WIN32)
  list(APPEND TAVOFOX_CORE_SOURCES core/link/serial_port_win32.cpp core/link/port_numbers_win32.cpp)
else()
  list(APPEND TAVOFOX_CORE_SOURCES core/link/serial_port_posix.cpp core/link/port_numbers.cpp)
endif()
