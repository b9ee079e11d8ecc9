-- Only graphics: no sound device on a test machine.
function love.conf(t)
  t.modules.audio = false
  t.modules.sound = false
  t.modules.joystick = false
  t.window.width = 64
  t.window.height = 64
end
