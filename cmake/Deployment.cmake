# Deployment configuration, compiled into one generated header. Give values at configure time,
# for example: cmake -B build -DOVRA_BUILTIN_GOOGLE_KEY=... -DOVRA_FEEDBACK_HOST=feedback.example.org
set(OVRA_APP_ID "app.ovra.Ovra" CACHE STRING "Reverse-DNS application id (key-store folder, desktop entry)")
set(OVRA_BUILTIN_GOOGLE_KEY "" CACHE STRING "Built-in Google Cloud Translation key; empty for none")
set(OVRA_GOOGLE_TRANSLATE_HOST "translation.googleapis.com" CACHE STRING "Google Cloud Translation v2 host")
set(OVRA_OPENAI_API_HOST "api.openai.com" CACHE STRING "OpenAI API host")
set(OVRA_OPENAI_KEYS_HOST "platform.openai.com" CACHE STRING "OpenAI developer platform host (key page)")
set(OVRA_GOOGLE_CONSOLE_HOST "console.cloud.google.com" CACHE STRING "Google Cloud console host (Translate key page)")
set(OVRA_GEMINI_API_HOST "generativelanguage.googleapis.com" CACHE STRING "Google Generative Language API host")
set(OVRA_GEMINI_KEYS_HOST "aistudio.google.com" CACHE STRING "Google AI Studio host (key page)")
set(OVRA_ANTHROPIC_API_HOST "api.anthropic.com" CACHE STRING "Anthropic API host")
set(OVRA_ANTHROPIC_KEYS_HOST "console.anthropic.com" CACHE STRING "Anthropic console host (key page)")
set(OVRA_OPENROUTER_HOST "openrouter.ai" CACHE STRING "OpenRouter host (API and key page)")
set(OVRA_FEEDBACK_HOST "" CACHE STRING "Host that receives feedback at /ovra-feedback; empty disables sending")
set(OVRA_LOCAL_MODEL_URL "http://127.0.0.1:11434" CACHE STRING "Local model server (Ollama chat API)")

configure_file(${CMAKE_CURRENT_LIST_DIR}/deployment_config.h.in
               ${PROJECT_BINARY_DIR}/generated/ovra/deployment_config.h @ONLY)
