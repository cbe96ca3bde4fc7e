-- wrk: update reports, each for a machine identifier of its own, so that the
-- stored rows show every report stored exactly once.
local threads = {}
local counter = 0
id = 0  -- set per thread by setup()
ok = 0
failed = 0

function setup(thread)
  thread:set("id", #threads)
  threads[#threads + 1] = thread
end

function request()
  counter = counter + 1
  return wrk.format("GET", "/update?mid=bench-" .. id .. "-" .. counter ..
                    "::00-1A-2B-3C-4D-5E&game=29&distributor=0&bytes=" .. counter .. "&current_part=0")
end

function response(status, headers, body)
  if status == 200 then ok = ok + 1 else failed = failed + 1 end
end

function done(summary, latency, requests)
  local answered, refused = 0, 0
  for _, thread in ipairs(threads) do
    answered = answered + thread:get("ok")
    refused = refused + thread:get("failed")
  end
  io.write(string.format("REPORTS answered=%d refused=%d socket_errors=%d\n", answered, refused,
    summary.errors.connect + summary.errors.read + summary.errors.write + summary.errors.timeout))
end
