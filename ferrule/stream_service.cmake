# The stream side of the service: the loopback HTTP server, stream serving, stream tasks
# and the exports, built into libFerrule.so on top of ferrule_core.

add_library(ferrule_stream STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/app_settings.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/async_http_client.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/connection.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/connection_assist.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/connection_manager.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/connection_stream.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/io_thread_pool.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/mime_types.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/opening_signal.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/page_request.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/reply.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/request_handler.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/request_parser.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/server.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/stream_downloader.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/stream_task_manager.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/stream_url.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/task_preparer.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/torrent_fetch.cpp)
set_target_properties(ferrule_stream PROPERTIES POSITION_INDEPENDENT_CODE ON CXX_VISIBILITY_PRESET hidden
                      VISIBILITY_INLINES_HIDDEN ON)
target_include_directories(ferrule_stream PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(ferrule_stream PUBLIC ferrule_core Boost::system CURL::libcurl
                      Threads::Threads)

# libFerrule.so: only the five ZP2P functions are visible.
add_library(Ferrule SHARED ${CMAKE_CURRENT_SOURCE_DIR}/exports.cpp)
target_link_libraries(Ferrule PRIVATE ferrule_stream KvBT)
target_link_options(Ferrule PRIVATE -Wl,--exclude-libs,ALL)
set_target_properties(Ferrule PROPERTIES OUTPUT_NAME Ferrule CXX_VISIBILITY_PRESET hidden
                      VISIBILITY_INLINES_HIDDEN ON)

# Parsers, the server core and the task record, fast and without the engine's network.
orvane_add_test(ferrule_stream_tests LABEL unit TIMEOUT 120
  SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/exports.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/stream_parser_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/stream_url_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/server_core_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/server_fuzz_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/stream_settings_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/exports_task_info_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/async_http_client_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/task_preparer_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/server_test_http.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/torrent_fetch_test.cpp
  LIBS ferrule_stream KvBT ${CMAKE_DL_LIBS})
add_dependencies(ferrule_stream_tests Ferrule)
target_compile_definitions(ferrule_stream_tests PRIVATE
  FERRULE_LIBRARY_PATH="$<TARGET_FILE:Ferrule>")

# Streams from a loopback seeder, end to end.
orvane_add_test(ferrule_stream_e2e_tests LABEL e2e TIMEOUT 300
  SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/exports.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/stream_e2e_fixture.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/stream_e2e_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/stream_tasks_e2e_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/server_test_http.cpp
  LIBS ferrule_stream KvBT kvbt_seeder)

# The service over a recording stand-in of the engine: which engine calls it makes, and
# streams whose pieces the test hands out.
orvane_add_test(ferrule_recorded_engine_tests LABEL unit TIMEOUT 120
  SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/exports.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/recording_engine.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/recorded_service_fixture.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/upload_limit_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/stream_server_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/stream_assist_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/server_test_http.cpp
  LIBS ferrule_stream)

# Start-up and streaming figures against the targets; run by hand, not by CTest.
add_executable(ferrule_stream_bench
  ${CMAKE_CURRENT_SOURCE_DIR}/exports.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/bench/stream_bench.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/tests/server_test_http.cpp)
target_include_directories(ferrule_stream_bench PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/tests)
target_link_libraries(ferrule_stream_bench PRIVATE ferrule_stream KvBT orvane_testsupport)
set_target_properties(ferrule_stream_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY
                      ${CMAKE_BINARY_DIR}/bench)
add_dependencies(ferrule_stream_bench kvbt_seed)
target_compile_definitions(ferrule_stream_bench PRIVATE
  KVBT_SEED_PATH="$<TARGET_FILE:kvbt_seed>")
